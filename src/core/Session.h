#pragma once

#include "core/AlarmLimits.h"
#include "core/AppSettings.h"
#include "core/Language.h"
#include "core/Options.h"
#include "core/ProgramFolder.h"
#include "core/SettingsFile.h"

#include <functional>
#include <optional>

// The program's one AppSettings record and the rules of start, language switch and end
// that decide when it is read and written. Owned by the application; windows hold a
// reference for their whole life.
class Session {
public:
    explicit Session(ProgramFolder folder);

    const ProgramFolder &folder() const { return m_folder; }
    AppSettings &settings() { return m_settings; }
    const AppSettings &settings() const { return m_settings; }
    QString settingsPath() const { return m_store.path(); }

    // The reading a Main window does when it opens: the English one reads all three lines,
    // the Japanese one the first two and keeps lang. `apply` runs the window's serial
    // steps inside the same guarded sequence; false counts as a failed read.
    struct OpenResult {
        bool ok = false;
        bool recovered = false;  // the file was replaced by the defaults
        bool unwritable = false; // !ok: the defaults could not be written (else read back)
        QString error;           // !ok: the file and the system's reason
    };
    OpenResult openWindow(Language window, const std::function<bool(const AppSettings &)> &apply);

    // Full write of the settings file; false with a reason that names the file.
    bool save(QString *error);

    // The English window hands over to the Japanese one when lang is exactly "j".
    bool routesToJapanese() const { return m_settings.lang == QStringLiteral("j"); }
    // After the Language dialog: the window to open instead of `current`, if any.
    std::optional<Language> switchTarget(Language current) const;
    // Closing a Main window writes the file only when lang names that window's language.
    bool writesOnClose(Language window) const { return m_settings.lang == languageCode(window); }

    // After a recovery the Parameter editor's file dialog proposes <folder>/540comm.txt until
    // the editor is first closed; afterwards every editor starts from "qsr540.txt".
    QString editorFileName() const { return m_editorFileName; }
    void editorClosed() { m_editorFileName = defaultEditorFileName(); }
    static QString defaultEditorFileName() { return QStringLiteral("qsr540.txt"); }

    // The operator's options for this run: read from the options file when first asked
    // for, then kept here, so that a choice the file could not take lasts until the
    // program ends, through a change of language too.
    const Options &options();
    void setOptions(const Options &options) { m_options = options; }
    // The alarm limits, kept the same way.
    const AlarmLimits &limits();
    void setLimits(const AlarmLimits &limits) { m_limits = limits; }

private:
    ProgramFolder m_folder;
    SettingsStore m_store;
    AppSettings m_settings;
    QString m_editorFileName = defaultEditorFileName();
    std::optional<Options> m_options;
    std::optional<AlarmLimits> m_limits;
};
