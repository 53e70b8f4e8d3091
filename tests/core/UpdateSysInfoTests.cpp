// The system and network info upload: its formats, both documents as the development service
// receives them, failed answers, and the one upload of a client's run.

#include <gtest/gtest.h>

#include <map>

#include "ClientHarness.h"
#include "FakeNetworkTables.h"
#include "FakeSystemFacts.h"
#include "WaitFor.h"
#include "core/UpdateSysInfoTrd.h"
#include "protocol/HttpRequest.h"
#include "protocol/ResultCodes.h"

namespace vorta {
namespace {

using devservice::Exchange;
using Fields = std::map<std::string, std::string>;
using test::CpuBlock;
using test::FaultWith;
using test::Ip;
using test::WaitFor;

constexpr int kUntouched = 4242;  // a last error no upload records

TEST(SysInfoFormats, MemoryInShortestGeneralForm) {
    EXPECT_EQ(FormatMemoryKB(16314020.0L), "16314020");
    EXPECT_EQ(FormatMemoryKB(1.5L), "1.5");
    EXPECT_EQ(FormatMemoryKB(2097151.75L), "2097151.75");
    EXPECT_EQ(FormatMemoryKB(0.0L), "0");
    EXPECT_EQ(FormatMemoryKB(1.0L / 3.0L), "0.333333333333333") << "15 significant digits";
    EXPECT_EQ(FormatMemoryKB(123456789012345678.0L), "1.23456789012346e+17");
    EXPECT_EQ(FormatMemoryInfo(16314020.0L, 8123456.5L), "16314020/8123456.5");
}

TEST(SysInfoFormats, ProcessorsJoinedBySemicolons) {
    const TCpuInfoArray two{{"Xeon A", 2400}, {"Xeon B", 2400}};
    EXPECT_EQ(JoinCpuNames(two), "Xeon A;Xeon B");
    EXPECT_EQ(JoinCpuFreqs(two), "2400 MHZ;2400 MHZ");
    EXPECT_EQ(JoinCpuNames({}), "");
    EXPECT_EQ(JoinCpuFreqs({}), "");
    const TCpuInfoArray unnamed{{"", 0}, {"B", 1800}};
    EXPECT_EQ(JoinCpuNames(unnamed), ";B") << "an empty name keeps its place";
    EXPECT_EQ(JoinCpuFreqs(unnamed), "0 MHZ;1800 MHZ");
}

class UpdateSysInfoTest : public ::testing::Test {
protected:
    UpdateSysInfoTest() {
        facts.kernelRelease = "6.1.0-18-amd64";
        facts.memoryText = "MemTotal:       16314020 kB\nMemAvailable: 1536\n";
        facts.cpuInfo = CpuBlock(0, "Intel(R) Xeon(R) CPU @ 2.40GHz", "2400.000") +
                        CpuBlock(1, "Intel(R) Xeon(R) CPU @ 2.40GHz", "2400.000");
        auto& eth0 = tables.AddLink("eth0", 2);
        eth0.description = "e1000";
        eth0.hardwareAddress = {0x00, 0x0C, 0x29, 0x3A, 0xB1, 0xF0};
        eth0.dhcp = true;
        eth0.dnsServers = {Ip("192.0.2.53")};
        auto& eth1 = tables.AddLink("eth1", 3);
        eth1.description = "r8169";
        tables.addresses.push_back({Ip("192.0.2.10"), 2, Ip("255.255.255.0"), 0});
        tables.addresses.push_back({Ip("198.51.100.7"), 3, Ip("255.255.255.0"), 0});
        tables.addresses.push_back({Ip("203.0.113.9"), 3, Ip("255.255.255.240"), 0});
        tables.routes.push_back({0, 0, Ip("192.0.2.1"), 2});
        RecordServiceError(kUntouched, "untouched");
    }

    static TConnectionLookup Lookup() {
        TConnectionLookup lookup;
        lookup.names = [] { return std::vector<std::string>{"Office", "Backup"}; };
        lookup.ifIndex = [](const std::string& name) { return name == "Office" ? 2u : 0u; };
        return lookup;
    }
    SysInfoUploadTarget Target() const { return {live.Url(), "demo", "demo123"}; }
    std::vector<Exchange> Sent() const {
        std::vector<Exchange> sent;
        for (const auto& r : live.service.requests())
            if (r.exchange) sent.push_back(*r.exchange);
        return sent;
    }
    // Runs the thread to its end.
    void RunUpload() {
        TUpdateSysInfoTrd trd(info, Target());
        trd.Join();
        EXPECT_TRUE(trd.Finished());
    }

    test::LiveService live;
    test::FakeSystemFacts facts;
    test::FakeNetworkTables tables;
    TSysInfo info{&tables, Lookup(), &facts};
};

TEST_F(UpdateSysInfoTest, NoProcessorsGiveEmptyCpuFields) {
    facts.cpuInfo.reset();
    TPostSystemInfoReq req;
    FillSystemInfoReq(info, Target(), req);
    EXPECT_EQ(req.SystemInfo.CPUVersion, "");
    EXPECT_EQ(req.SystemInfo.CPUFreq, "");
}

TEST_F(UpdateSysInfoTest, BothDocumentsArriveFieldByField) {
    RunUpload();
    EXPECT_EQ(Sent(), (std::vector{Exchange::SystemUpload, Exchange::NetworkUpload}));

    const auto systems = live.service.systemUploads();
    ASSERT_EQ(systems.size(), 1u);
    EXPECT_EQ(systems[0].userName, "demo");
    const Fields system{
        {"OSVersion", "6.1 (0.18-amd64)"},
        {"PackInfo", "unknow"},
        {"IISVersion", "IIS 5.0"},
        {"MemoryInfo", "16314020/1.5"},
        {"CPUVersion", "Intel(R) Xeon(R) CPU @ 2.40GHz;Intel(R) Xeon(R) CPU @ 2.40GHz"},
        {"CPUFreq", "2400 MHZ;2400 MHZ"}};
    EXPECT_EQ(systems[0].fields, system);

    const auto networks = live.service.networkUploads();
    ASSERT_EQ(networks.size(), 1u);
    EXPECT_EQ(networks[0].userName, "demo");
    ASSERT_EQ(networks[0].adapters.size(), 2u);
    const Fields eth0{{"ConnName", "Office"},           {"HardWare", "e1000"},
                      {"MacAddr", "00-0C-29-3A-B1-F0"}, {"DHCPRun", "1"},
                      {"IPAddr", "192.0.2.10"},         {"SubMask", "255.255.255.0"},
                      {"Gateway", "192.0.2.1"},         {"DNSServer", "192.0.2.53"}};
    const Fields eth1{{"ConnName", ""},
                      {"HardWare", "r8169"},
                      {"MacAddr", "00-00-00-00-00-00"},
                      {"DHCPRun", "0"},
                      {"IPAddr", "198.51.100.7,203.0.113.9"},
                      {"SubMask", "255.255.255.0,255.255.255.240"},
                      {"Gateway", ""},
                      {"DNSServer", ""}};
    EXPECT_EQ(networks[0].adapters[0], eth0);
    EXPECT_EQ(networks[0].adapters[1], eth1);
    EXPECT_EQ(LastErrorCode(), kUntouched) << "success records nothing";
}

TEST_F(UpdateSysInfoTest, AFailedFirstAnswerStillSendsTheSecond) {
    live.service.setFault(Exchange::SystemUpload, FaultWith(0, 0, "105", 1));
    UploadSysInfo(info, Target(), {});
    EXPECT_EQ(LastErrorCode(), 105);
    EXPECT_EQ(live.service.networkUploads().size(), 1u);

    live.service.setFault(Exchange::SystemUpload, FaultWith(0, 500, std::nullopt, 1));
    UploadSysInfo(info, Target(), {});
    EXPECT_EQ(LastErrorCode(), kResultExchangeFailed) << "an empty answer";
    EXPECT_EQ(LastErrorText(), "连接服务器异常！");
    EXPECT_EQ(live.service.networkUploads().size(), 2u);

    live.service.setFault(Exchange::SystemUpload, FaultWith(0, 0, "x9", 1));
    UploadSysInfo(info, Target(), {});
    EXPECT_EQ(LastErrorCode(), kResultExchangeFailed) << "a Result that is no number";
    EXPECT_EQ(live.service.networkUploads().size(), 3u);
}

TEST_F(UpdateSysInfoTest, AFailedSecondAnswerIsRecorded) {
    live.service.setFault(Exchange::NetworkUpload, FaultWith(0, 0, "7", 1));
    RunUpload();
    EXPECT_EQ(LastErrorCode(), 7);
    EXPECT_EQ(Sent(), (std::vector{Exchange::SystemUpload, Exchange::NetworkUpload}));
}

TEST_F(UpdateSysInfoTest, RefusedCredentialsAreRecorded) {
    SysInfoUploadTarget target = Target();
    target.userPwd = "wrong";
    UploadSysInfo(info, target, {});
    EXPECT_EQ(LastErrorCode(), kResultWrongPassword);
    EXPECT_EQ(Sent().size(), 2u);
    EXPECT_TRUE(live.service.systemUploads().empty()) << "the service keeps nothing of it";
}

TEST_F(UpdateSysInfoTest, ACollectionErrorSendsNothing) {
    facts.cpuInfo = CpuBlock(0, "A", "2400.000") + CpuBlock(1, "B", "unknown");
    RunUpload();
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(LastErrorCode(), kUntouched) << "nothing shown, nothing recorded";
}

TEST_F(UpdateSysInfoTest, NoAdaptersStillSendTheNetworkRequest) {
    tables.failing = true;
    RunUpload();
    const auto networks = live.service.networkUploads();
    ASSERT_EQ(networks.size(), 1u);
    EXPECT_TRUE(networks[0].adapters.empty());
}

TEST_F(UpdateSysInfoTest, StoppingAbandonsTheExchangeInFlight) {
    // Time-outs far beyond the test's limit: only the stop request can end the exchange.
    HttpTimeouts patient;
    patient.receive = std::chrono::minutes(10);
    SetHttpTimeouts(patient);
    live.service.setFault(Exchange::SystemUpload, FaultWith(600000, 0, std::nullopt));
    {
        TUpdateSysInfoTrd trd(info, Target());
        ASSERT_TRUE(WaitFor([&] { return !live.service.requests().empty(); }));
        trd.RequestStop();
        trd.Join();
        EXPECT_TRUE(trd.Finished());
    }
    SetHttpTimeouts(HttpTimeouts{});
    EXPECT_EQ(Sent(), std::vector{Exchange::SystemUpload}) << "the second is not sent";
    EXPECT_EQ(LastErrorCode(), kUntouched) << "a stop is not a failure";
}

// The client's upload timer against the service, with the collector reading this machine.
class ClientUploadTest : public ::testing::Test {
protected:
    void LogOn(test::ClientHarness& h) {
        h.client->StartClient(false);
        h.client->View().EditUserName = "demo";
        h.client->View().EditPassword = "demo123";
        ASSERT_TRUE(h.Logon());
        ASSERT_TRUE(h.client->LoggedOn());
    }
    std::size_t Uploads() const {
        std::size_t count = 0;
        for (const auto& r : live.service.requests())
            if (r.exchange == Exchange::SystemUpload || r.exchange == Exchange::NetworkUpload)
                ++count;
        return count;
    }
    test::LiveService live;
};

TEST_F(ClientUploadTest, TheFirstTickAfterLogonUploadsOnce) {
    test::ClientHarness h(live.FastConfig());
    h.facts.kernelRelease = "6.1.0-18-amd64";
    LogOn(h);
    ASSERT_NE(h.client->SysInfo(), nullptr);
    h.client->OnTimerUpdateSysInfo();
    EXPECT_FALSE(h.client->UpdateSysInfoTimerEnabled());
    EXPECT_TRUE(h.client->SysInfoUploadStarted());
    ASSERT_TRUE(WaitFor([&] {
        return live.service.systemUploads().size() == 1 &&
               live.service.networkUploads().size() == 1;
    }));
    const auto system = live.service.systemUploads()[0];
    EXPECT_EQ(system.userName, "demo") << "the logged-on user's settings";
    EXPECT_EQ(system.fields.at("OSVersion"), "6.1 (0.18-amd64)") << "the platform's facts";
    EXPECT_EQ(system.fields.at("PackInfo"), "unknow");
    EXPECT_EQ(system.fields.at("IISVersion"), "IIS 5.0");
    const std::string memory = system.fields.at("MemoryInfo");
    EXPECT_EQ(memory.substr(0, memory.find('/')),
              FormatMemoryKB(h.client->SysInfo()->GetTotalMemoryKB()));
    TCpuInfoArray cpus;
    h.client->SysInfo()->GetCPUInfo(cpus);
    EXPECT_EQ(system.fields.at("CPUVersion"), JoinCpuNames(cpus));

    h.client->OnTimerUpdateSysInfo();  // a stray tick starts no second upload
    h.client->Shutdown();
    EXPECT_EQ(Uploads(), 2u);
}

TEST_F(ClientUploadTest, WithUploadsRefusedTheTickSendsNothing) {
    test::ClientHarness h(live.FastConfig());
    h.client->StartClient(false);
    h.client->View().suiCheckBoxUpdateSysInfo = false;
    LogOn(h);
    ASSERT_FALSE(h.client->SettingsRecord().Get().UpdateSysInfo);
    h.client->OnTimerUpdateSysInfo();
    EXPECT_FALSE(h.client->UpdateSysInfoTimerEnabled()) << "switched off all the same";
    EXPECT_FALSE(h.client->SysInfoUploadStarted());
    h.client->Shutdown();  // joins whatever would have been started
    EXPECT_EQ(Uploads(), 0u);
}

}  // namespace
}  // namespace vorta
