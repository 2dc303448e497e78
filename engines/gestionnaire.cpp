#include "engines/gestionnaire.h"

#include <algorithm>

#include <utility>

namespace vz {

TGestionnaire::TGestionnaire(EngineClock clock) : clock_(std::move(clock)) {
    // Every field starts zero or empty; the idle values come from Reset, which the
    // derived engines have not overridden yet at this point.
    TGestionnaire::Reset();
}

void TGestionnaire::Raise(const TNotifyEvent& event) {
    if (event) event(*this);
}

void TGestionnaire::Error(TErrorCode code, const std::string& text) {
    // A memory whose line failed is not done.
    memory_.reset();
    errorCode_ = code;
    errorText_ = text;
    Raise(OnError);
}

void TGestionnaire::Reset() {
    currentLine_.clear();
    rxBuffer_.clear();
    txText_.clear();
    errorText_.clear();
    errorCode_ = TErrorCode::none;
    statusText_.clear();
    progressMax_ = 100;
    busy_ = false;
    deviceId_ = 0;
    retryCount_ = 0;
    slowMode_ = false;
    memory_.reset();
}

std::optional<TProgrammedFile> TGestionnaire::DescribeLine(const std::string&) const {
    return std::nullopt;
}

void TGestionnaire::SetBusy() {
    busy_ = true;
    Raise(OnBusyChanged);
}

void TGestionnaire::ClearBusy() {
    busy_ = false;
    Raise(OnBusyChanged);
}

void TGestionnaire::ShowStatus(const std::string& text) {
    statusText_ = text;
    Raise(OnStatus);
}

void TGestionnaire::SetProgressMax(std::int32_t n) {
    progressMax_ = n;
    Raise(OnProgressMax);
}

void TGestionnaire::StepProgress() {
    Raise(OnProgressStep);
}

void TGestionnaire::LineAcknowledged() {
    Raise(OnLineAcknowledged);
}

void TGestionnaire::Send(const std::string& text) {
    txText_ = text;
    Raise(OnSend);
}

void TGestionnaire::RequestRx() {
    Raise(OnRxRequest);
}

void TGestionnaire::Consume(std::string_view text) {
    if (text.size() >= rxBuffer_.size()) {
        rxBuffer_.clear();
    } else {
        rxBuffer_.erase(0, text.size());
    }
    Raise(OnRxChanged);
}

void TGestionnaire::Discard(std::size_t count) {
    count = std::min(count, rxBuffer_.size());
    if (count == 0) return;
    const std::string dropped = rxBuffer_.substr(0, count);
    rxBuffer_.erase(0, count);
    if (OnRxDiscarded) OnRxDiscarded(*this, dropped);
}

void TGestionnaire::ClearRx() {
    rxBuffer_.clear();
    Raise(OnRxChanged);
}

void TGestionnaire::SetDeviceId(std::int32_t n) {
    deviceId_ = n;
    Raise(OnDeviceId);
}

void TGestionnaire::LinkFast() {
    Raise(OnLinkFast);
}

void TGestionnaire::LinkSlow() {
    Raise(OnLinkSlow);
}

void TGestionnaire::RaiseModelFound(std::uint8_t code) {
    if (OnModelFound) OnModelFound(*this, code);
}

void TGestionnaire::RaiseOptions(std::int32_t bits) {
    if (OnOptions) OnOptions(*this, bits);
}

void TGestionnaire::RaiseReportedModel(std::uint8_t code) {
    if (OnReportedModel) OnReportedModel(*this, code);
}

void TGestionnaire::BeginMemory(const TMemory& memory) {
    memory_ = memory;
    if (OnMemoryStarted) OnMemoryStarted(*this, memory);
}

void TGestionnaire::EndMemory() {
    if (!memory_) return;
    const TMemory memory = *memory_;
    memory_.reset();
    if (OnMemoryDone) OnMemoryDone(*this, memory);
}

bool TGestionnaire::CountRetry() {
    ++retryCount_;
    if (OnResend) OnResend(*this);
    // The device's limit: the 300th request is still honoured, the 301st ends the file.
    if (retryCount_ <= kMaxRetries) return true;
    FailTooManyRetries();
    return false;
}

void TGestionnaire::FailTooManyRetries() {
    Error(TErrorCode::too_many_resends, "Too Many Transmission Error !!!");
}

TGestionnaire::TReply TGestionnaire::CheckReply(char refusal, TErrorCode code, const std::string& text,
                                                TDot dot) {
    RequestRx();
    if (RxBeginsWith('.')) {
        if (dot == TDot::Take) Consume(".");
        return TReply::Accepted;
    }
    if (RxBeginsWith(refusal)) {
        Consume(std::string_view(&refusal, 1));
        Error(code, text);
        return TReply::Failed;
    }
    return TReply::Waiting;
}

TGestionnaire::TReply TGestionnaire::CommandReply(TDot dot) {
    return CheckReply('I', TErrorCode::refused, kInstructionUnknown, dot);
}

} // namespace vz
