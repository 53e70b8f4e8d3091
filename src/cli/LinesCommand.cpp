#include "cli/LinesCommand.h"

#include <charconv>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "base/Translate.h"
#include "core/StatusReport.h"
#include "lines/LineFactory.h"
#include "lines/LineRules.h"
#include "lines/LinesMng.h"
#include "protocol/TextCodec.h"

namespace vorta {
namespace {

constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

const char* const kKindWords[] = {"dialup", "weblogin", "cablemodem", "lan"};

struct LineOptions {
    std::optional<int> kind;
    std::optional<std::string> entry, user, password;
    std::optional<bool> master, necessary;
    bool json = false;
    std::vector<std::string> positional;
};

LineOptions ParseOptions(const std::vector<std::string>& args, std::size_t from) {
    LineOptions o;
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&] {
            if (i + 1 >= args.size()) throw std::invalid_argument(arg + " needs a value");
            return args[++i];
        };
        if (arg == "--kind") {
            const std::string word = value();
            for (int k = 0; k < 4; ++k)
                if (word == kKindWords[k]) o.kind = k;
            if (!o.kind)
                throw std::invalid_argument("unknown kind " + word +
                                            " (dialup, weblogin, cablemodem, lan)");
        } else if (arg == "--entry")
            o.entry = value();
        else if (arg == "--user")
            o.user = value();
        else if (arg == "--password")
            o.password = value();
        else if (arg == "--backup")
            o.master = false;
        else if (arg == "--main")
            o.master = true;
        else if (arg == "--necessary")
            o.necessary = true;
        else if (arg == "--optional")
            o.necessary = false;
        else if (arg == "--json")
            o.json = true;
        else if (arg.starts_with("--"))
            throw std::invalid_argument("unknown option " + arg);
        else
            o.positional.push_back(arg);
    }
    return o;
}

std::size_t ParseIndex(const std::string& text, std::size_t count) {
    std::size_t index = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), index);
    if (ec != std::errc() || end != text.data() + text.size() || index == 0 || index > count)
        throw std::invalid_argument("no line " + text + " (lines are numbered from 1 to " +
                                    std::to_string(count) + ")");
    return index - 1;
}

bool MissingUserInfo(const TLineInfo& info) {
    return TLineFactory::NeedUserInfo(info.LineKind) &&
           (TrimControl(info.UserName).empty() || TrimControl(info.Password).empty());
}

std::string List(const std::vector<TLineInfo>& records, bool json) {
    std::ostringstream out;
    const auto& kinds = TLineFactory::EnsureLineTypes();
    auto kindName = [&](int kind) {
        return kind >= 0 && kind < static_cast<int>(kinds.size())
                   ? std::string(Tr(kinds[static_cast<std::size_t>(kind)].Caption.c_str()))
                   : std::string("?");
    };
    if (json) {
        out << "[";
        for (std::size_t i = 0; i < records.size(); ++i) {
            const TLineInfo& r = records[i];
            out << (i ? "," : "") << "{\"index\":" << i + 1
                << ",\"kind\":" << JsonString(kKindWords[r.LineKind])
                << ",\"group\":" << (r.MasterGroup ? "\"main\"" : "\"backup\"")
                << ",\"entryName\":" << JsonString(r.EntryName)
                << ",\"userName\":" << JsonString(r.UserName)
                << ",\"necessary\":" << (r.IsNecessary ? "true" : "false")
                << ",\"active\":" << (r.IsActive ? "true" : "false")
                << ",\"address\":" << JsonString(r.IpAddress)
                << ",\"lineId\":" << JsonString(r.LineID) << "}";
        }
        out << "]\n";
        return out.str();
    }
    if (records.empty()) return "no lines\n";
    for (std::size_t i = 0; i < records.size(); ++i) {
        const TLineInfo& r = records[i];
        out << i + 1 << "  " << kindName(r.LineKind) << "  "
            << (r.MasterGroup ? Tr("主组") : Tr("备组")) << "  " << r.EntryName
            << "  necessary: " << (r.IsNecessary ? Tr("是") : Tr("否"))
            << "  state: " << (r.IsActive ? "up" : "down")
            << "  address: " << (r.IpAddress.empty() ? "-" : r.IpAddress) << "\n";
    }
    return out.str();
}

}  // namespace

std::vector<TLineInfo> ManagerLinesTarget::Records() {
    if (std::string error = manager_.LoadError(); !error.empty()) throw std::runtime_error(error);
    return manager_.Records();
}
bool ManagerLinesTarget::Add(const TLineInfo& info) {
    return manager_.AddLine(info);
}
void ManagerLinesTarget::Modify(std::size_t index, const TLineInfo& info) {
    manager_.ModifyLine(index, info);
}
void ManagerLinesTarget::Delete(std::size_t index) {
    manager_.DeleteLine(index);
}

FileLinesTarget::FileLinesTarget(std::filesystem::path file) : file_(std::move(file)) {
    try {
        records_ = LoadableRecords(ReadLinesFile(file_));
    } catch (const std::exception& e) {
        loadError_ = e.what();
    }
}

std::vector<TLineInfo> FileLinesTarget::Records() {
    if (!loadError_.empty()) throw std::runtime_error(loadError_);
    return records_;
}

bool FileLinesTarget::Add(const TLineInfo& info) {
    if (!CanAddLine(records_)) return false;
    std::vector<TLineInfo> records = records_;
    records.push_back(info);
    Save(records);
    records_.swap(records);
    return true;
}

void FileLinesTarget::Modify(std::size_t index, const TLineInfo& info) {
    std::vector<TLineInfo> records = records_;
    records.at(index) = info;
    Save(records);
    records_.swap(records);
}

void FileLinesTarget::Delete(std::size_t index) {
    if (index >= records_.size()) throw std::out_of_range("no line " + std::to_string(index + 1));
    std::vector<TLineInfo> records = records_;
    records.erase(records.begin() + static_cast<std::ptrdiff_t>(index));
    Save(records);
    records_.swap(records);
}

void FileLinesTarget::Save(const std::vector<TLineInfo>& records) {
    // The unread file may hold lines that this list lacks.
    if (!loadError_.empty())
        throw std::runtime_error("the lines file is not rewritten: " + loadError_);
    WriteLinesFile(file_, records);
}

LinesCommandResult RunLinesCommand(const std::vector<std::string>& args, ILinesTarget& target) {
    const char* usage =
        "usage: vorta lines list [--json]\n"
        "       vorta lines add --kind dialup|weblogin|cablemodem|lan --entry NAME [--user NAME "
        "--password TEXT] "
        "[--backup] [--necessary]\n"
        "       vorta lines modify INDEX [--user NAME] [--password TEXT] [--backup|--main] "
        "[--necessary|--optional]\n"
        "       vorta lines delete INDEX\n";
    bool changing = false;  // set while a target saves: its failure changed nothing
    try {
        if (args.empty()) throw std::invalid_argument("a lines command is missing");
        const std::string& verb = args[0];
        const LineOptions o = ParseOptions(args, 1);
        if (verb == "list") {
            if (!o.positional.empty()) throw std::invalid_argument("list takes no arguments");
            return {0, List(target.Records(), o.json)};
        }
        if (o.json) throw std::invalid_argument("--json goes with lines list");
        if (verb == "add") {
            if (!o.positional.empty()) throw std::invalid_argument("add takes options only");
            if (!o.kind) throw std::invalid_argument("--kind is required");
            if (!o.entry || TrimControl(*o.entry).empty())
                throw std::invalid_argument("--entry is required");
            // An unreadable file ends here.
            const std::vector<TLineInfo> records = target.Records();
            TLineInfo info;
            info.LineKind = *o.kind;
            info.MasterGroup = o.master.value_or(true);
            info.IsNecessary = o.necessary.value_or(false);
            info.EntryName = *o.entry;
            info.UserName = o.user.value_or("");
            info.Password = o.password.value_or("");
            info.LineID = NewLineId();
            if (std::string why = TextsRefusal(info); !why.empty())
                return {kExitRefused, why + "\n"};
            if (FindEntry(records, info.EntryName))
                return {kExitRefused, std::string(Tr(kLineExists)) + "\n"};
            if (MissingUserInfo(info)) return {kExitRefused, std::string(Tr(kNeedUserInfo)) + "\n"};
            changing = true;  // the target refuses a line beyond the limit before saving
            if (!target.Add(info)) return {kExitRefused, std::string(kTooManyLines) + "\n"};
            return {0, "added line " + std::to_string(target.Records().size()) + ": " +
                           info.EntryName + "\n"};
        }
        if (verb == "modify" || verb == "delete") {
            if (o.positional.size() != 1)
                throw std::invalid_argument(verb + " takes one line number");
            const std::vector<TLineInfo> records = target.Records();
            const std::size_t index = ParseIndex(o.positional[0], records.size());
            if (verb == "delete") {
                if (o.kind || o.entry || o.user || o.password || o.master || o.necessary)
                    throw std::invalid_argument("delete takes no options");
                changing = true;
                target.Delete(index);
                return {0, "deleted line " + o.positional[0] + "\n"};
            }
            if (o.kind || o.entry)
                throw std::invalid_argument("a line's kind and entry cannot change");
            TLineInfo info = records[index];  // kind, entry and LineID stay
            // Only what is given is checked: the stored texts stay as they are.
            for (const auto& [field, text] : {std::pair{LineText::UserName, &o.user},
                                              std::pair{LineText::Password, &o.password}})
                if (*text)
                    if (std::string why = TextRefusal(field, **text); !why.empty())
                        return {kExitRefused, why + "\n"};
            if (o.user) info.UserName = *o.user;
            if (o.password) info.Password = *o.password;
            if (o.master) info.MasterGroup = *o.master;
            if (o.necessary) info.IsNecessary = *o.necessary;
            if (MissingUserInfo(info)) return {kExitRefused, std::string(Tr(kNeedUserInfo)) + "\n"};
            changing = true;
            target.Modify(index, info);
            return {0, "modified line " + o.positional[0] + "\n"};
        }
        throw std::invalid_argument("unknown lines command " + verb);
    } catch (const std::invalid_argument& e) {
        return {kExitUsage, std::string(e.what()) + "\n" + usage};
    } catch (const std::exception& e) {
        return {kExitRefused,
                (changing ? "lines not changed: " : "") + std::string(e.what()) + "\n"};
    }
}

}  // namespace vorta
