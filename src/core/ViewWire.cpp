#include "core/ViewWire.h"

#include <charconv>
#include <functional>

#include "base/LineEscape.h"

namespace vorta::viewwire {
namespace {

std::string Flag(bool on) {
    return on ? "1" : "0";
}

bool ReadFlag(std::string_view text, bool& out) {
    if (text != "0" && text != "1") return false;
    out = text == "1";
    return true;
}

template <typename Int>
bool ReadInt(std::string_view text, Int& out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

// One field of the view state: how it reads, how a stream's value sets it, and whether a front
// end may set it as its user's input.
struct Field {
    const char* name;
    std::function<std::string(const ViewState&)> get;
    std::function<bool(ViewState&, std::string_view)> set;
    bool input;
};

Field FlagField(const char* name, bool ViewState::*member, bool input) {
    return {name, [member](const ViewState& v) { return Flag(v.*member); },
            [member](ViewState& v, std::string_view text) { return ReadFlag(text, v.*member); },
            input};
}

Field TextField(const char* name, std::string ViewState::*member, bool input) {
    return {name, [member](const ViewState& v) { return v.*member; },
            [member](ViewState& v, std::string_view text) {
                v.*member = std::string(text);
                return true;
            },
            input};
}

const std::vector<Field>& Table() {
    static const std::vector<Field> table = {
        FlagField("WindowVisible", &ViewState::WindowVisible, false),
        {"ActivePage", [](const ViewState& v) { return std::to_string(v.ActivePage); },
         [](ViewState& v, std::string_view t) { return ReadInt(t, v.ActivePage); }, false},
        TextField("EditUserName", &ViewState::EditUserName, true),
        FlagField("ChkBoxSavePwd", &ViewState::ChkBoxSavePwd, true),
        FlagField("ChkBoxStartup", &ViewState::ChkBoxStartup, true),
        FlagField("ChkBoxRunAsService", &ViewState::ChkBoxRunAsService, true),
        FlagField("EditsEnabled", &ViewState::EditsEnabled, false),
        FlagField("BtnLogonEnabled", &ViewState::BtnLogonEnabled, false),
        TextField("BtnLogonCaption", &ViewState::BtnLogonCaption, false),
        FlagField("ChkBoxStartupEnabled", &ViewState::ChkBoxStartupEnabled, false),
        FlagField("ChkBoxRunAsServiceEnabled", &ViewState::ChkBoxRunAsServiceEnabled, false),
        FlagField("cbIsInNet", &ViewState::cbIsInNet, true),
        FlagField("rbAsMaster", &ViewState::rbAsMaster, true),
        FlagField("rbAsSlave", &ViewState::rbAsSlave, true),
        FlagField("cbInLANBack", &ViewState::cbInLANBack, true),
        FlagField("suiCheckBoxUpdateSysInfo", &ViewState::suiCheckBoxUpdateSysInfo, true),
        FlagField("rbAsMasterEnabled", &ViewState::rbAsMasterEnabled, false),
        FlagField("rbAsSlaveEnabled", &ViewState::rbAsSlaveEnabled, false),
        FlagField("cbInLANBackEnabled", &ViewState::cbInLANBackEnabled, false),
        TextField("MemoNative", &ViewState::MemoNative, false),
        {"Selected",
         [](const ViewState& v) {
             return std::to_string(static_cast<int>(v.Selected.level)) + " " +
                    std::to_string(v.Selected.domain) + " " + std::to_string(v.Selected.resource);
         },
         [](ViewState& v, std::string_view t) {
             const std::size_t a = t.find(' '), b = t.rfind(' ');
             int level = 0;
             DomainSelection s;
             if (a == std::string_view::npos || a == b || !ReadInt(t.substr(0, a), level) ||
                 level < -1 || level > 2 || !ReadInt(t.substr(a + 1, b - a - 1), s.domain) ||
                 !ReadInt(t.substr(b + 1), s.resource))
                 return false;
             s.level = static_cast<DomainSelection::Level>(level);
             v.Selected = s;
             return true;
         },
         false},
        TextField("lab1", &ViewState::lab1, false),
        TextField("lab2", &ViewState::lab2, false),
        TextField("lab3", &ViewState::lab3, false),
        TextField("lab5", &ViewState::lab5, false),
        TextField("lab6", &ViewState::lab6, false),
        TextField("lab7", &ViewState::lab7, false),
        {"Tray", [](const ViewState& v) { return std::to_string(static_cast<int>(v.Tray)); },
         [](ViewState& v, std::string_view t) {
             int tray = 0;
             if (!ReadInt(t, tray) || tray < 0 || tray > 2) return false;
             v.Tray = static_cast<TrayState>(tray);
             return true;
         },
         false},
        FlagField("Action2Enabled", &ViewState::Action2Enabled, false),
        FlagField("Action3Enabled", &ViewState::Action3Enabled, false),
    };
    return table;
}

const Field* Find(std::string_view name) {
    for (const Field& f : Table())
        if (name == f.name) return &f;
    return nullptr;
}

}  // namespace

std::string Escape(std::string_view text) {
    return EscapeLineText(text, true);
}

std::string Unescape(std::string_view text) {
    return UnescapeLineText(text, true);
}

std::string Line(std::initializer_list<std::string_view> fields) {
    std::string out;
    bool first = true;
    for (std::string_view f : fields) {
        if (!first) out += '\t';
        out += first ? std::string(f) : Escape(f);
        first = false;
    }
    out += '\n';
    return out;
}

std::vector<std::string> Fields(std::string_view line) {
    std::vector<std::string> out;
    for (;;) {
        const std::size_t tab = line.find('\t');
        out.push_back(Unescape(line.substr(0, tab)));
        if (tab == std::string_view::npos) return out;
        line.remove_prefix(tab + 1);
    }
}

FieldList StateFields(const ViewState& view, const std::string& serviceUrl) {
    FieldList out;
    for (const Field& f : Table()) out.emplace_back(f.name, f.get(view));
    out.emplace_back("ServiceUrl", serviceUrl);
    return out;
}

bool SetInputField(ViewState& view, std::string_view name, std::string_view value) {
    if (name == "EditPassword") {
        view.EditPassword = std::string(value);
        return true;
    }
    const Field* f = Find(name);
    return f && f->input && f->set(view, value);
}

std::string LinesLines(const std::vector<LineRow>& rows) {
    std::string out = Line({"R", std::to_string(rows.size())});
    for (const LineRow& r : rows)
        out += Line({"r", Flag(r.IsActive), Flag(r.MasterGroup), r.EntryName, Flag(r.IsNecessary),
                     r.IpAddress, r.Reason, std::to_string(r.ReportedAt), r.LineID});
    return out;
}

std::string DomainLines(const TGetServiceListResp* domains) {
    if (!domains) return Line({"D", "-1"});
    std::string out = Line({"D", std::to_string(domains->Domains.size())});
    for (const auto& d : domains->Domains) {
        out += Line({"d", d.DomainName + d.SuffixName, std::to_string(d.Resources.size())});
        for (const auto& r : d.Resources) out += Line({"k", r.KeyName});
    }
    return out;
}

std::string LogLine(const TLogEntry& entry) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(entry.Time.time_since_epoch())
            .count();
    return Line({"L", std::to_string(entry.Kind), std::to_string(ms), entry.Text});
}

std::string HintLine(const std::string& text) {
    return Line({"H", text});
}
std::string MessageLine(const std::string& text, const std::string& caption, MessageIcon icon) {
    return Line({"M", icon == MessageIcon::Error ? "E" : "I", caption, text});
}
std::string ShowLine() {
    return Line({"W"});
}
std::string FocusLine(EditBox box) {
    return Line({"F", box == EditBox::UserName ? "U" : "P"});
}
std::string BeepLine(unsigned type) {
    return Line({"B", std::to_string(type)});
}
std::string ExitLine() {
    return Line({"X"});
}

void ViewMirror::Reset() {
    view_ = ViewState();
    view_.Tray = TrayState::NotConnected;
    view_.EditsEnabled = view_.BtnLogonEnabled = false;
    view_.Action2Enabled = view_.Action3Enabled = false;
    log_.Clear();
    rows_.clear();
    rowsLeft_ = domainsLeft_ = resourcesLeft_ = 0;
    domains_.reset();
}

bool ViewMirror::Apply(std::string_view line, IClientView& events) {
    const std::vector<std::string> f = Fields(line);
    const std::string& tag = f[0];
    const auto n = f.size();
    if (tag == "S" && n == 3) {
        if (f[1] == "ServiceUrl") {
            serviceUrl_ = f[2];
            return true;
        }
        const Field* field = Find(f[1]);
        return field && field->set(view_, f[2]);
    }
    if (tag == "R" && n == 2) {
        rows_.clear();
        if (!ReadInt(f[1], rowsLeft_)) return false;
        if (rowsLeft_ == 0) view_.Lines.clear();
        return true;
    }
    if (tag == "r" && n == 9 && rowsLeft_ > 0) {
        LineRow r;
        if (!ReadFlag(f[1], r.IsActive) || !ReadFlag(f[2], r.MasterGroup) ||
            !ReadFlag(f[4], r.IsNecessary) || !ReadInt(f[7], r.ReportedAt))
            return false;
        r.EntryName = f[3];
        r.IpAddress = f[5];
        r.Reason = f[6];
        r.LineID = f[8];
        rows_.push_back(std::move(r));
        if (--rowsLeft_ == 0) view_.Lines = std::move(rows_);
        return true;
    }
    if (tag == "D" && n == 2) {
        long long count = 0;
        if (!ReadInt(f[1], count)) return false;
        domains_.reset();
        domainsLeft_ = resourcesLeft_ = 0;
        if (count < 0) {
            view_.Domains.reset();
            return true;
        }
        domains_ = std::make_shared<TGetServiceListResp>();
        domainsLeft_ = static_cast<std::size_t>(count);
        if (domainsLeft_ == 0) view_.Domains = std::move(domains_);
        return true;
    }
    if (tag == "d" && n == 3 && domains_ && domainsLeft_ > 0 && resourcesLeft_ == 0) {
        TDomainInfoSchema d;
        d.DomainName = f[1];
        if (!ReadInt(f[2], resourcesLeft_)) return false;
        domains_->Domains.push_back(std::move(d));
        --domainsLeft_;
    } else if (tag == "k" && n == 2 && domains_ && resourcesLeft_ > 0) {
        TResourceInfoSchema r;
        r.KeyName = f[1];
        domains_->Domains.back().Resources.push_back(std::move(r));
        --resourcesLeft_;
    } else if (tag == "d" || tag == "k") {
        return false;
    }
    if (tag == "d" || tag == "k") {
        if (domainsLeft_ == 0 && resourcesLeft_ == 0) view_.Domains = std::move(domains_);
        return true;
    }
    if (tag == "L" && n == 4) {
        TLogEntry e;
        int kind = 0;
        long long ms = 0;
        if (!ReadInt(f[1], kind) || kind < 0 || kind > 255 || !ReadInt(f[2], ms)) return false;
        e.Kind = static_cast<unsigned char>(kind);
        e.Time = std::chrono::system_clock::time_point(std::chrono::milliseconds(ms));
        e.Text = f[3];
        log_.Add(std::move(e));
        events.LogAdded();
        return true;
    }
    if (tag == "LC" && n == 1) {
        log_.Clear();
        events.LogAdded();
        return true;
    }
    if (tag == "." && n == 1) {
        events.StateChanged();
        return true;
    }
    if (tag == "H" && n == 2) {
        events.ShowHint(f[1]);
        return true;
    }
    if (tag == "M" && n == 4) {
        events.MessageBox(f[3], f[2], f[1] == "E" ? MessageIcon::Error : MessageIcon::Information);
        return true;
    }
    if (tag == "W" && n == 1) {
        events.ShowMainWindow();
        return true;
    }
    if (tag == "F" && n == 2) {
        events.FocusEdit(f[1] == "U" ? EditBox::UserName : EditBox::Password);
        return true;
    }
    if (tag == "B" && n == 2) {
        unsigned type = 0;
        if (!ReadInt(f[1], type)) return false;
        events.Beep(type);
        return true;
    }
    if (tag == "X" && n == 1) {
        events.Exit();
        return true;
    }
    return false;
}

}  // namespace vorta::viewwire
