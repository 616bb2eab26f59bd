// The option tables of velmora-card's commands: each command lists its options (name, alias,
// the value's name, and the member of its options record that takes the value or the flag),
// and one parser reads the arguments against such a table.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace cli {

// The table entry with this name or alias, or null.
template <class Entry>
const Entry* FindInTable(std::span<const Entry> table, std::string_view name) {
    for (const Entry& option : table) {
        if (option.name == name || (!option.alias.empty() && option.alias == name))
            return &option;
    }
    return nullptr;
}

// Reads args into options. A value follows its option as the next argument or after '='
// ("--out=cards"); a flag takes none; no option may be given twice. On the first fault,
// returns fail(subject, message), the command's own way of reporting it; else 0.
template <class Entry, class Options, class Fail>
int ParseWithTable(std::span<const Entry> table, std::span<const std::string> args,
                   Options& options, Fail&& fail) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        std::optional<std::string> inlineValue;
        if (const size_t equals = arg.find('='); arg.starts_with("--") && equals != arg.npos) {
            inlineValue = std::string(arg.substr(equals + 1));
            arg = arg.substr(0, equals);
        }
        const Entry* option = FindInTable(table, arg);
        if (option == nullptr)
            return fail(args[i], "unknown option");
        if (option->flag != nullptr) {
            if (inlineValue)
                return fail(arg, "takes no value");
            options.*option->flag = true;
            continue;
        }
        std::optional<std::string>& slot = options.*option->value;
        if (slot)
            return fail(arg, "given twice");
        if (inlineValue) {
            slot = std::move(inlineValue);
        } else if (i + 1 < args.size()) {
            slot = args[++i];
        } else {
            return fail(arg, "needs a value (" + std::string(option->argument) + ")");
        }
    }
    return 0;
}

} // namespace cli
