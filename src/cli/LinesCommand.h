#pragma once
// `vorta lines …`: list, add, modify and delete lines with the main window's rules, either on
// the running client's lines manager or, when none runs, on the lines file itself.

#include <filesystem>
#include <string>
#include <vector>

#include "base/Translate.h"
#include "lines/LineInfo.h"
#include "lines/LineRules.h"

namespace vorta {

class TLinesMng;

class ILinesTarget {
public:
    virtual ~ILinesTarget() = default;
    // Throws the reason when the lines file could not be read: that is not an empty list.
    virtual std::vector<TLineInfo> Records() = 0;
    // Each change is saved first and made only once saved; a failed save throws the reason and
    // changes nothing. Add: false, with nothing changed, when the line cannot be added.
    virtual bool Add(const TLineInfo& info) = 0;
    virtual void Modify(std::size_t index, const TLineInfo& info) = 0;
    virtual void Delete(std::size_t index) = 0;
};

// The lines of a running client.
class ManagerLinesTarget : public ILinesTarget {
public:
    explicit ManagerLinesTarget(TLinesMng& manager) : manager_(manager) {}
    std::vector<TLineInfo> Records() override;
    bool Add(const TLineInfo& info) override;
    void Modify(std::size_t index, const TLineInfo& info) override;
    void Delete(std::size_t index) override;

private:
    TLinesMng& manager_;
};

// The lines file when no client holds it; it loads the records a client would load. A file
// that cannot be read is never rewritten.
class FileLinesTarget : public ILinesTarget {
public:
    explicit FileLinesTarget(std::filesystem::path file);
    std::vector<TLineInfo> Records() override;
    bool Add(const TLineInfo& info) override;
    void Modify(std::size_t index, const TLineInfo& info) override;
    void Delete(std::size_t index) override;
    // Why the file could not be read; empty when it was read or is missing.
    const std::string& LoadError() const { return loadError_; }

private:
    void Save(const std::vector<TLineInfo>& records);
    std::filesystem::path file_;
    std::vector<TLineInfo> records_;
    std::string loadError_;
};

struct LinesCommandResult {
    int exitCode = 0;
    std::string output;  // for stdout on success, stderr otherwise
};

// `args`: the words after "lines". Indexes are 1-based, as `lines list` shows them. A file
// that cannot be read or a failed save ends with exit code 1 and the reason.
LinesCommandResult RunLinesCommand(const std::vector<std::string>& args, ILinesTarget& target);

inline constexpr const char* kNeedUserInfo = TrMark("请输入用户名，密码信息！");

}  // namespace vorta
