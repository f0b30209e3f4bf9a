#pragma once
// The command table of a program: every command by its name (the
// objectName of its menu entry, toolbar key or button), the work behind it
// and the rule that says whether it may run now.  Menus, toolbar keys,
// shortcuts and script lines all run commands through it.
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace varenta {

enum class RunOutcome { Ran, Refused, Unknown };

class CommandTable {
public:
    using Work = std::function<void()>;
    using Rule = std::function<bool()>;

    // Adds or replaces a command; without a rule it may always run.
    void add(const std::string& name, Work work, Rule mayRun = {});
    // Replaces the rule of a command that exists (or will be added later).
    void setRule(const std::string& name, Rule mayRun);
    void remove(const std::string& name);

    bool has(const std::string& name) const;
    // Registered, with work, and its rule allows it now.
    bool mayRun(const std::string& name) const;
    RunOutcome run(const std::string& name) const;
    std::vector<std::string> names() const;

private:
    struct Entry {
        Work work;
        Rule rule;
    };
    std::map<std::string, Entry> entries_;
};

}  // namespace varenta
