#pragma once
// `vorta lines …`: list, add, modify and delete lines with the main window's rules, either on
// the running client's lines manager or, when none runs, on the lines file itself.

#include <filesystem>
#include <string>
#include <vector>

#include "lines/LineInfo.h"

namespace vorta {

class TLinesMng;

class ILinesTarget {
public:
    virtual ~ILinesTarget() = default;
    virtual std::vector<TLineInfo> Records() = 0;
    virtual int IndexOfEntry(const std::string& entryName) = 0;
    virtual bool Add(const TLineInfo& info) = 0;
    virtual void Modify(std::size_t index, const TLineInfo& info) = 0;
    virtual void Delete(std::size_t index) = 0;
};

// The lines of a running client.
class ManagerLinesTarget : public ILinesTarget {
public:
    explicit ManagerLinesTarget(TLinesMng& manager) : manager_(manager) {}
    std::vector<TLineInfo> Records() override;
    int IndexOfEntry(const std::string& entryName) override;
    bool Add(const TLineInfo& info) override;
    void Modify(std::size_t index, const TLineInfo& info) override;
    void Delete(std::size_t index) override;

private:
    TLinesMng& manager_;
};

// The lines file when no client holds it; records of an unknown kind are left out, as the
// client would.
class FileLinesTarget : public ILinesTarget {
public:
    explicit FileLinesTarget(std::filesystem::path file);
    std::vector<TLineInfo> Records() override { return records_; }
    int IndexOfEntry(const std::string& entryName) override;
    bool Add(const TLineInfo& info) override;
    void Modify(std::size_t index, const TLineInfo& info) override;
    void Delete(std::size_t index) override;

private:
    void Save();
    std::filesystem::path file_;
    std::vector<TLineInfo> records_;
};

struct LinesCommandResult {
    int exitCode = 0;
    std::string output;  // for stdout on success, stderr otherwise
};

// `args`: the words after "lines". Indexes are 1-based, as `lines list` shows them.
LinesCommandResult RunLinesCommand(const std::vector<std::string>& args, ILinesTarget& target);

inline constexpr const char* kLineExists = "该线路已经存在！";
inline constexpr const char* kTooManyLines =
    "您最多可以添加5条线路,如需要添加更多,请联系软件Vorta提供商。";
inline constexpr const char* kNeedUserInfo = "请输入用户名，密码信息！";

}  // namespace vorta
