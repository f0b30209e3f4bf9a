#include "common/commandtable.h"

namespace varenta {

void CommandTable::add(const std::string& name, Work work, Rule mayRun)
{
    Entry& e = entries_[name];
    e.work = std::move(work);
    if (mayRun)
        e.rule = std::move(mayRun);
}

void CommandTable::setRule(const std::string& name, Rule mayRun) { entries_[name].rule = std::move(mayRun); }

void CommandTable::remove(const std::string& name) { entries_.erase(name); }

bool CommandTable::has(const std::string& name) const
{
    const auto it = entries_.find(name);
    return it != entries_.end() && static_cast<bool>(it->second.work);
}

bool CommandTable::mayRun(const std::string& name) const
{
    const auto it = entries_.find(name);
    if (it == entries_.end() || !it->second.work)
        return false;
    return !it->second.rule || it->second.rule();
}

RunOutcome CommandTable::run(const std::string& name) const
{
    const auto it = entries_.find(name);
    if (it == entries_.end() || !it->second.work)
        return RunOutcome::Unknown;
    if (it->second.rule && !it->second.rule())
        return RunOutcome::Refused;
    // A copy: the work may replace its own entry.
    const Work work = it->second.work;
    work();
    return RunOutcome::Ran;
}

std::vector<std::string> CommandTable::names() const
{
    std::vector<std::string> out;
    for (const auto& [name, e] : entries_)
        if (e.work)
            out.push_back(name);
    return out;
}

}  // namespace varenta
