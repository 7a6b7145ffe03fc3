#include "ui/FailureTexts.h"

namespace {

// No default: a fault added to the protocol without a text here is a compiler warning.
QString replyFaultTemplate(const MainTexts &texts, Protocol::ReplyFault fault)
{
    using Fault = Protocol::ReplyFault;
    switch (fault) {
    case Fault::None:
        return {};
    case Fault::Unasked:
        return texts.replyUnasked;
    case Fault::UnknownLetter:
        return texts.replyUnknownLetter;
    case Fault::CutOff:
        return texts.replyCutOff;
    case Fault::Empty:
        return texts.replyEmpty;
    case Fault::NotNumber:
        return texts.replyNotNumber;
    case Fault::TooLarge:
        return texts.replyTooLarge;
    case Fault::OutOfRange32:
        return texts.replyOutOfRange32;
    case Fault::OutOfRange16:
        return texts.replyOutOfRange16;
    case Fault::NotModeDigits:
        return texts.replyNotModeDigits;
    case Fault::DoesNotFit:
        return texts.replyDoesNotFit;
    }
    return {};
}

} // namespace

QString failureDetail(const MainTexts &texts, const CycleResult &result)
{
    switch (result.status) {
    case CycleStatus::Ok:
    case CycleStatus::TimedOut:
        return {};
    case CycleStatus::OutputDropped:
        return texts.outputDropped.arg(result.unsent);
    case CycleStatus::OpenFailed:
        break;
    default:
        return result.reason;
    }
    using Cause = PortProblem::Cause;
    const PortProblem &p = result.problem;
    switch (p.cause) {
    case Cause::Missing:
        return texts.portMissing.arg(p.device);
    case Cause::DanglingLink:
        return texts.portDangling.arg(p.device, p.target);
    case Cause::NotSerial:
        return texts.portNotSerial.arg(p.device);
    case Cause::Vanished:
        return texts.portVanished.arg(p.target.isEmpty() ? p.device : p.target);
    case Cause::PermissionDenied:
        if (p.group.isEmpty())
            return texts.portForbidden.arg(p.device);
        return p.loginPending ? texts.portLogin.arg(p.device, p.group)
                              : texts.portGroup.arg(p.device, p.group, p.user);
    case Cause::LockDirectory:
        return texts.portLockDirectory.arg(p.device, p.lockDirectory);
    case Cause::HeldByProgram:
        if (p.program.isEmpty())
            return texts.portHeldProcess.arg(p.device, QString::number(p.pid));
        return texts.portHeld.arg(p.device, p.program, QString::number(p.pid));
    case Cause::Unknown:
        break;
    }
    return result.reason;
}

QString replyFaultText(const MainTexts &texts, const Protocol::ApplyResult &result)
{
    QString text = replyFaultTemplate(texts, result.fault);
    if (text.contains(QLatin1String("%1")))
        text = text.arg(QLatin1Char(result.letter));
    return text.contains(QLatin1String("%2")) ? text.arg(result.quoted) : text;
}
