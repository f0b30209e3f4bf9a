#include "brenlo24/link/commands.h"

#include "brenlo24/link/commsettings.h"

#include <cstdio>

namespace varenta {

InputRequest confirmRequest(const std::string& message, const std::string& title, int flags,
                            const std::string& comboText, const std::string& checkCaption)
{
    InputRequest r;
    r.caption = title;
    r.message = message;
    r.style = flags & (InputRequest::ShowInput | InputRequest::ShowCheck | InputRequest::CheckTicked |
                       InputRequest::RedMessage);
    r.preset = (flags & InputRequest::ShowInput) ? comboText : std::string();
    r.checkCaption = (flags & InputRequest::ShowCheck) ? checkCaption : std::string();
    return r;
}

ConfirmAnswer confirm(Prompter& prompter, const InputRequest& request)
{
    const InputResult res = prompter.input(request);
    ConfirmAnswer a;
    a.cancelled = res.cancelled();
    a.checked = (request.style & InputRequest::ShowCheck) && res.check == "1";
    a.text = (request.style & InputRequest::ShowInput) ? res.answer : std::string();
    return a;
}

InputRequest startConfirmation() { return confirmRequest(cmdtext::kStartMessage, cmdtext::kStartTitle); }

InputRequest stopConfirmation() { return confirmRequest(cmdtext::kStopMessage, cmdtext::kStopTitle); }

InputRequest initConfirmation()
{
    return confirmRequest(cmdtext::kInitMessage, cmdtext::kInitTitle, InputRequest::ShowCheck, {}, cmdtext::kInitCheck);
}

InputRequest collectConfirmation(bool resultsBox, bool extended)
{
    if (!resultsBox)
        return confirmRequest(cmdtext::kCollectMessage, cmdtext::kCollectTitle);
    if (extended)
        return confirmRequest(cmdtext::kResultsExtendedMessage, cmdtext::kResultsTitle, InputRequest::ShowCheck, {},
                              cmdtext::kResultsCheck);
    return confirmRequest(cmdtext::kResultsMessage, cmdtext::kResultsTitle);
}

std::string collectCode(bool resultsBox, bool checked)
{
    if (resultsBox)
        return checked ? "26" : "16";
    return checked ? "44" : "54";
}

std::string monitorRunName(bool flag1, bool flag2, std::uint32_t optionFlags)
{
    if (!flag1 && !flag2)
        return cmdtext::kMonitor;
    return (optionFlags & optflag::kApnRun) ? cmdtext::kApn : cmdtext::kCalibration;
}

std::optional<std::string> monitorStartCode(bool extended, std::uint32_t optionFlags, bool flag1, bool flag2)
{
    if (!extended)
        return std::string("34");
    if (optionFlags & optflag::kApnRun) {
        if (flag1 && !flag2)
            return std::string("45");
        return std::nullopt;
    }
    const int code = 0x05 | (flag1 ? 0x10 : 0) | (flag2 ? 0x20 : 0);
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", code);
    return std::string(buf);
}

InputRequest monitorConfirmation(const std::string& runName, bool start)
{
    if (start)
        return confirmRequest(runName + cmdtext::kStartQuestion, runName + cmdtext::kStartSuffix);
    return confirmRequest(runName + cmdtext::kStopQuestion, runName + cmdtext::kStopSuffix);
}

CommandOutcome DeviceCommands::sendCode(const std::string& code, int mode)
{
    CommandOutcome o;
    o.code = code;
    switch (send_(code, mode)) {
    case DeviceLink::SendResult::Sent: o.kind = CommandOutcome::Kind::Sent; break;
    case DeviceLink::SendResult::Busy: o.kind = CommandOutcome::Kind::Busy; break;
    case DeviceLink::SendResult::Failed: o.kind = CommandOutcome::Kind::Failed; break;
    }
    return o;
}

CommandOutcome DeviceCommands::check() { return sendCode("00", sendmode::kArmTimeout); }

CommandOutcome DeviceCommands::startMeasuring(const StatusRecord& last)
{
    if (last.sdUnusable()) {
        prompter_.message(cmdtext::kSdTitle, cmdtext::kSdUnusable, MsgIcon::Critical);
        CommandOutcome o;
        o.kind = CommandOutcome::Kind::Refused;
        o.code = "81";
        return o;
    }
    if (confirm(prompter_, startConfirmation()).cancelled)
        return CommandOutcome{CommandOutcome::Kind::Cancelled, "81"};
    return sendCode("81", sendmode::kArmTimeout);
}

CommandOutcome DeviceCommands::stopMeasuring()
{
    if (confirm(prompter_, stopConfirmation()).cancelled)
        return CommandOutcome{CommandOutcome::Kind::Cancelled, "03"};
    return sendCode("03", sendmode::kArmTimeout);
}

CommandOutcome DeviceCommands::initialise()
{
    const ConfirmAnswer a = confirm(prompter_, initConfirmation());
    if (a.cancelled) {
        if (status_)
            status_(cmdtext::kCancelled);
        return CommandOutcome{CommandOutcome::Kind::Cancelled, {}};
    }
    return sendCode(a.checked ? "07" : "17", sendmode::kPause);
}

CommandOutcome DeviceCommands::collect(const CommandInputs& in)
{
    const ConfirmAnswer a = confirm(prompter_, collectConfirmation(in.resultsBox, in.extended()));
    const std::string code = collectCode(in.resultsBox, a.checked);
    if (a.cancelled)
        return CommandOutcome{CommandOutcome::Kind::Cancelled, code};
    return sendCode(code, sendmode::kArmTimeout);
}

CommandOutcome DeviceCommands::monitorStart(const CommandInputs& in)
{
    const std::string name = monitorRunName(in.calFlag1, in.calFlag2, in.optionFlags);
    const std::optional<std::string> code = monitorStartCode(in.extended(), in.optionFlags, in.calFlag1, in.calFlag2);
    if (confirm(prompter_, monitorConfirmation(name, true)).cancelled)
        return CommandOutcome{CommandOutcome::Kind::Cancelled, code.value_or(std::string())};
    if (!code)
        return CommandOutcome{CommandOutcome::Kind::NothingToSend, {}};
    return sendCode(*code, sendmode::kPause);
}

CommandOutcome DeviceCommands::monitorStop(const CommandInputs& in)
{
    const std::string name = monitorRunName(in.calFlag1, in.calFlag2, in.optionFlags);
    if (confirm(prompter_, monitorConfirmation(name, false)).cancelled)
        return CommandOutcome{CommandOutcome::Kind::Cancelled, "04"};
    return sendCode("04", sendmode::kPause);
}

}  // namespace varenta
