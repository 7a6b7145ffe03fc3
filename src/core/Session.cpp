#include "core/Session.h"

Session::Session(ProgramFolder folder) : m_folder(std::move(folder)), m_store(m_folder.data)
{
}

Session::OpenResult Session::openWindow(Language window,
                                        const std::function<bool(const AppSettings &)> &apply)
{
    const SettingsRead kind =
        window == Language::English ? SettingsRead::Full : SettingsRead::Short;
    AppSettings read = m_settings; // a short read keeps lang from here
    const auto r = m_store.load(kind, read, apply);
    OpenResult out;
    out.ok = r.ok;
    out.recovered = r.recovered;
    out.unwritable = r.unwritable;
    out.error = r.error;
    if (r.ok)
        m_settings = read;
    if (r.recovered)
        m_editorFileName = m_folder.dataFile(QStringLiteral("540comm.txt"));
    return out;
}

bool Session::save(QString *error)
{
    return m_store.save(m_settings, error);
}

std::optional<Language> Session::switchTarget(Language current) const
{
    if (current == Language::English && m_settings.lang == QStringLiteral("j"))
        return Language::Japanese;
    if (current == Language::Japanese && m_settings.lang == QStringLiteral("e"))
        return Language::English;
    return std::nullopt;
}

const Options &Session::options()
{
    if (!m_options)
        m_options = OptionsFile::load(OptionsFile::path(m_folder));
    return *m_options;
}

const AlarmLimits &Session::limits()
{
    if (!m_limits)
        m_limits = LimitsFile::load(OptionsFile::path(m_folder));
    return *m_limits;
}
