#include "lines/DialUp.h"

#include <chrono>

namespace vorta {
namespace {

struct StateTexts {
    int state;
    const char* english;
    const char* czech;
    const char* portuguese;
};

constexpr StateTexts kStates[] = {
    {0, "Opening port", "Otevírá se port", "Abrindo a porta"},
    {1, "Port opened", "Port otevřen", "Porta aberta"},
    {2, "Connecting device", "Probíhá spojování", "Conectando componente"},
    {3, "Device connected", "Navázáno spojení", "Componente conenctado"},
    {4, "All devices connected", "Všechna zařízení spojena", "Todos componentes conectados"},
    {5, "Start authenticating", "Začínají se ověřovat uživatelské informace",
     "Iniciando autenticaçao"},
    {6, "Authentication: notify", "Ověření: oznámení", "Autenticaçao: enviando"},
    {7, "Authentication: retry", "Ověření: opakování", "Autenticaçao: Reenviando"},
    {8, "Authentication: callback", "Ověření: zpětné volání", "Autenticaçao: Esperando"},
    {9, "Authentication: change password", "Ověření: změna hesla", "Autenticaçao: Senha incorreta"},
    {10, "Authentication: projecting", "Ověření: návrh", "Autenticaçao: enviando"},
    {11, "Authentication: link speed", "Ověření: spojovací rychlost",
     "Autenticaçao: Velocidade da linha"},
    {12, "Authentication: acknowledge", "Ověření: potvrzení", "Autenticaçao: enviando"},
    {13, "Authentication: reauthenticate", "Ověření: znovuověření",
     "Autenticaçao: Re-Autenticando"},
    {14, "Authenticated", "Ověřeno", "Autenticado"},
    {15, "Preparing for callback", "Příprava na zpetné volání", "Preparando para callback"},
    {16, "Waiting for modem reset", "Čeká se na reset modemu", "Esperando Reset do modem"},
    {17, "Waiting for callback", "Čeká se na zpětné volání", "Esperando callback"},
    {18, "Projected", "Navrhnuto", "Enviando"},
    {19, "Start authentication", "Ověřování uživatelských informací", "Autenticaçao iniciada"},
    {20, "Callback complete", "Zpetné volání hotovo", "Callback completo"},
    {21, "Logging on network", "Připojuje se na síť", "Logando na rede"},
    {4096, "Interactive", "Interakce", "Modo Interativo"},
    {4097, "Retry Authentication", "Opakování oveření", "Re-autenticar"},
    {4098, "Callback set by caller", "Zpeětné volání zvoleno uživatelem",
     "Callback foi conf. pelo destino"},
    {4099, "Password expired", "Platnost hesla vypršela", "Senha inválida"},
    {8192, "Connected", "Spojeno", "Conectado"},
    {8193, "Disconnected", "Rozpojeno", "Desconectado"},
};

}  // namespace

TDialUp::TDialUp(platform::IRemoteAccess& ras, Post post) : ras_(ras), post_(std::move(post)) {}

TDialUp::~TDialUp() {
    // A notification still waiting for the owner's thread is released.
    std::lock_guard guard(asyncLock_);
    closing_ = true;
    asyncDelivered_.notify_all();
}

const char* TDialUp::StateName(TLanguage language, int state) {
    for (const auto& row : kStates) {
        if (row.state != state) continue;
        switch (language) {
            case TLanguage::English:
                return row.english;
            case TLanguage::Czech:
                return row.czech;
            case TLanguage::Portuguese:
                return row.portuguese;
        }
    }
    return "";
}

std::string TDialUp::StateText(int state, int error) {
    if (error != 0) return ras_.ErrorText(error);
    return StateName(Language, state);
}

int TDialUp::GetEntries() {
    entries_.clear();
    std::vector<std::string> found;
    const int rc = ras_.EnumEntries(found);
    if (rc != 0) return rc;
    for (auto& name : found) {
        entries_.push_back(name);
        if (OnEntryGet) OnEntryGet(name);
    }
    return 0;
}

int TDialUp::Dial(std::stop_token stop) {
    HangUp();
    platform::RasDialParams params;
    params.entryName = Entry;
    const int paramsRc = ras_.GetEntryDialParams(params);
    if (paramsRc != 0) {
        if (OnError) OnError(paramsRc, "GetEntryDialParams failed");
        return paramsRc;
    }
    // The engine's credentials win over the entry's, empty ones included.
    params.userName = UserName;
    params.password = UserPwd;
    handle_ = 0;

    if (DialMode == TDialMode::dmSync) {
        if (OnDialing) OnDialing();
        const int rc = ras_.Dial(params, handle_, {}, stop);
        if (rc == 0) {
            if (OnConnect) OnConnect();
        } else {
            if (handle_ != 0) HangUpConnection(handle_);
            if (OnNotConnected) OnNotConnected(rc, ras_.ErrorText(rc));
        }
        return rc;
    }
    if (OnDialing) OnDialing();
    const int rc = ras_.Dial(
        params, handle_, [this](int state, int error) { Notify(state, error); }, stop);
    if (rc != 0 && OnError) OnError(rc, ras_.ErrorText(rc));
    return rc;
}

void TDialUp::Notify(int state, int error) {
    {
        std::unique_lock lock(asyncLock_);
        asyncDelivered_.wait(lock, [this] { return !asyncPending_ || closing_; });
        if (closing_) return;
        asyncPending_ = true;
    }
    auto deliver = [this, state, error] {
        if (OnAsyncEvent) OnAsyncEvent(state, error, StateText(state, error));
        std::lock_guard guard(asyncLock_);
        asyncPending_ = false;
        asyncDelivered_.notify_all();
    };
    if (post_)
        post_(deliver);
    else
        deliver();
}

int TDialUp::HangUpConnection(platform::RasHandle handle) {
    const int rc = ras_.HangUp(handle);
    if (rc != 0) return rc;
    // A link the layer cannot end must not hold the line's thread for good.
    ras_.AwaitGone(handle, HangUpTimeout);
    return rc;
}

int TDialUp::GetProjection(platform::RasHandle handle) {
    clientIp_.clear();
    serverIp_.clear();
    if (handle == 0) return 0;
    return ras_.GetProjection(handle, clientIp_, serverIp_);
}

bool TDialUp::StartStatistics(bool start, bool) {
    // The interface counters need no adapter search: they are always there to read.
    bool result = true;
    if (start) result = ReadStatistics();
    ResetStatistics();
    return result;
}

bool TDialUp::ReadStatistics() {
    platform::RasCounters counters;
    if (!ras_.ReadCounters(handle_, counters)) return false;
    rawSent_ = counters.bytesSent;
    rawReceived_ = counters.bytesReceived;
    if (rawSent_ < baseSent_ || rawReceived_ < baseReceived_) ResetStatistics();
    speed_ = counters.speed;
    bytesXmit_ = static_cast<std::uint32_t>(rawSent_ - baseSent_);
    bytesRecv_ = static_cast<std::uint32_t>(rawReceived_ - baseReceived_);
    return true;
}

void TDialUp::ResetStatistics() {
    baseSent_ = rawSent_;
    baseReceived_ = rawReceived_;
    bytesXmit_ = bytesRecv_ = 0;
}

}  // namespace vorta
