// Building requests and parsing answers: the work of every exchange.

#include <benchmark/benchmark.h>

#include "protocol/Messages.h"
#include "protocol/TextCodec.h"

namespace {

void BuildLineReport(benchmark::State& state) {
    vorta::TActiveTestExReq req;
    req.MsgType = vorta::kActiveTestExReq;
    req.Version = vorta::kProtocolVersion;
    req.UserName = "demo";
    req.UserPwd = "demo123";
    req.LineID = "0F8FAD5B-D9CB-469F-A165-70867728950E";
    req.UpdateIP = "0";
    for (auto _ : state) benchmark::DoNotOptimize(req.SaveToXml());
}
BENCHMARK(BuildLineReport);

void ParseServiceList(benchmark::State& state) {
    std::string doc = R"(<?xml version="1.0" encoding="GBK"?><VortaPacket><Result>0</Result>)";
    for (int i = 0; i < state.range(0); ++i)
        doc += "<DomainInfo><DomainName>d" + std::to_string(i) +
               "</DomainName><SuffixName>.vorta.example</SuffixName><Status>正常</Status>"
               "<ResourceInfo><KeyName>www</KeyName></ResourceInfo></DomainInfo>";
    doc += "</VortaPacket>";
    const std::string gbk = vorta::Utf8ToGbk(doc);
    vorta::TGetServiceListResp resp;
    for (auto _ : state) benchmark::DoNotOptimize(resp.LoadFromXml(gbk));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gbk.size()));
}
BENCHMARK(ParseServiceList)->Arg(10)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
