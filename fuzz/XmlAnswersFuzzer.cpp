// The service's XML answers. The same bytes go to every answer class directly, and then the way
// the transport delivers them: parsed with each HTTP charset fallback and re-serialised as UTF-8.
// The text codec decodes them as plain-mode answers of several charsets.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "protocol/HttpRequest.h"
#include "protocol/Messages.h"
#include "protocol/TextCodec.h"
#include "protocol/Xml.h"

namespace vorta {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// One answer of each kind, all loaded from the same text.
struct Answers {
    TBaseResp base;
    TQueryUserProfileResp profile;
    TGetServiceListResp list;
    TActiveTestExResp line;

    // How many of the four accepted `text`.
    int Load(std::string_view text) {
        return int{base.LoadFromXml(text)} + int{profile.LoadFromXml(text)} +
               int{list.LoadFromXml(text)} + int{line.LoadFromXml(text)};
    }

    // Every field read, in a fixed order; list sizes are recorded so that lists compare too.
    std::vector<std::string> Fields() const {
        std::vector<std::string> f = {
            base.MsgType,    base.Version,   base.Result,  profile.MsgType,
            profile.Version, profile.Result, list.MsgType, list.Version,
            list.Result,     list.UserID,    line.MsgType, line.Version,
            line.UserIP,     line.LineID,    line.Result,  std::to_string(list.Domains.size())};
        const TUserProfileSchema& p = profile.Profile;
        f.insert(f.end(),
                 {p.UserName, p.UserPwd, p.Question, p.Answer, p.Email, p.RealName, p.Address,
                  p.PostCode, p.Phone1, p.Phone2, p.PayType, p.ServiceEndDate, p.UserID});
        for (const TDomainInfoSchema& d : list.Domains) {
            f.insert(f.end(),
                     {d.DomainName, d.SuffixName, d.OnlineOpt, d.OnlineStaticIP, d.OnlineTransURL,
                      d.OfflineOpt, d.OfflineStaticIP, d.OfflineTransURL, d.TTL, d.StartDate,
                      d.EndDate, d.Status, d.DomainStatus, std::to_string(d.Resources.size())});
            for (const TResourceInfoSchema& r : d.Resources)
                f.insert(f.end(), {r.ResourceType, r.KeyName, r.KeyValue, r.TransURL});
        }
        return f;
    }
};

// An answer that sets every field, so that a refused text can be seen to change nothing.
constexpr std::string_view kFullAnswer =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><VortaPacket><MsgType>M</MsgType>"
    "<Version>1.0</Version><Result>0</Result><UserID>7</UserID><UserIP>192.0.2.1</UserIP>"
    "<LineID>L</LineID><UserProfile><UserName>u</UserName><RealName>r</RealName></UserProfile>"
    "<DomainInfo><DomainName>d</DomainName><ResourceInfo><KeyName>k</KeyName></ResourceInfo>"
    "</DomainInfo></VortaPacket>";

void CheckFields(const Answers& answers) {
    for (const std::string& field : answers.Fields()) {
        FUZZ_CHECK(IsValidUtf8(field));
        FUZZ_CHECK(TrimControl(field).size() == field.size());
    }
}

void CheckAnswers(std::string_view text) {
    Answers fresh;
    const int accepted = fresh.Load(text);
    FUZZ_CHECK(accepted == 0 || accepted == 4);
    FUZZ_CHECK((accepted == 4) == IsValidXml(text));
    if (accepted) {
        CheckFields(fresh);
        // Loading the same answer again into the same objects changes nothing.
        const std::vector<std::string> first = fresh.Fields();
        FUZZ_CHECK(fresh.Load(text) == 4);
        FUZZ_CHECK(fresh.Fields() == first);
    }

    Answers reused;
    FUZZ_CHECK(reused.Load(kFullAnswer) == 4);
    const std::vector<std::string> before = reused.Fields();
    FUZZ_CHECK(reused.Load(text) == accepted);
    if (!accepted) FUZZ_CHECK(reused.Fields() == before);

    // The transport: the document's own declaration decides, the HTTP charset fills in.
    static constexpr std::array<const char*, 4> kFallbacks = {nullptr, "GBK", "UTF-8",
                                                              "x-no-such-charset"};
    for (const char* fallback : kFallbacks) {
        xml::XmlDocument doc = xml::Parse(text, fallback);
        if (fallback == nullptr) FUZZ_CHECK(static_cast<bool>(doc) == (accepted == 4));
        if (!doc) continue;
        std::string utf8;
        try {
            utf8 = xml::ToUtf8Text(doc);
        } catch (const xml::XmlError&) {
            continue;  // the transport delivers an empty answer then
        }
        FUZZ_CHECK(IsValidUtf8(utf8));
        Answers delivered;
        FUZZ_CHECK(delivered.Load(utf8) == 4);
        CheckFields(delivered);
        if (fallback == nullptr) FUZZ_CHECK(delivered.Fields() == fresh.Fields());
    }
}

void CheckCodec(std::string_view bytes) {
    static constexpr std::array<std::string_view, 8> kCharsets = {
        "", "GBK", "gbk", "UTF-8", "utf8", "UTF-16", "ISO-8859-1", "x-no-such-charset"};
    for (const std::string_view charset : kCharsets) {
        const std::string text = DecodeToUtf8(bytes, charset);
        FUZZ_CHECK(IsValidUtf8(text));
        const std::string cut = TruncateUtf16Units(text, bytes.size() % 97);
        FUZZ_CHECK(text.starts_with(cut));
        FUZZ_CHECK(IsValidUtf8(cut));
    }
    if (IsValidUtf8(bytes)) FUZZ_CHECK(DecodeToUtf8(bytes, "UTF-8") == bytes);

    // GBK both ways: what decodes cleanly encodes back to the same text, and a cut never
    // splits a character.
    const std::string text = DecodeToUtf8(bytes, "GBK");
    const std::string gbk = Utf8ToGbk(text);
    if (text.find(kReplacement) == std::string::npos) FUZZ_CHECK(DecodeToUtf8(gbk, "GBK") == text);
    const std::size_t maxBytes = bytes.size() % 41;
    const std::string cut = Utf8ToGbk(text, maxBytes);
    FUZZ_CHECK(cut.size() <= maxBytes);
    FUZZ_CHECK(gbk.starts_with(cut));
    FUZZ_CHECK(DecodeToUtf8(cut, "GBK").find(kReplacement) == std::string::npos);
}

}  // namespace
}  // namespace vorta

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const vorta::fuzz::ConversionModules modules{"GBK", "UTF-16", "ISO-8859-1"};
    const std::string_view text = vorta::fuzz::AsText(data, size);
    vorta::CheckAnswers(text);
    vorta::CheckCodec(text);
    return 0;
}
