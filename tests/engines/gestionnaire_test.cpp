#include "engines/constante.h"
#include "engines/gestionnaire.h"
#include "engines/inst_courante.h"
#include "fake_owner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace vz::test {
namespace {

struct BareEngine : TGestionnaire {
    void Execute() override {}
};

TEST(Gestionnaire, ConsumeCutsByLengthAndAlwaysReports) {
    BareEngine engine;
    FakeOwner owner(engine);
    engine.SetRxBuffer("abcdef");
    engine.Consume("xy"); // characters are not compared
    EXPECT_EQ(owner.rx, "cdef");
    engine.Consume("0123456789");
    EXPECT_EQ(engine.RxBuffer(), "");
    owner.rx = "stale";
    engine.Consume("z"); // on an empty buffer: still empty, still reported
    EXPECT_EQ(owner.rx, "");
}

TEST(Gestionnaire, EventsSeeTheFieldAlreadySet) {
    BareEngine engine;
    FakeOwner owner(engine);
    owner.Transcript({">PB"});
    engine.SetProgressMax(7);
    engine.ShowStatus("hello");
    engine.Send("PB");
    engine.SetDeviceId(0x8012);
    engine.Error(TErrorCode::internal, "boom");
    EXPECT_EQ(owner.log,
              (std::vector<std::string>{"max:7", "status:hello", "send:PB", "id:32786", "error:boom"}));
}

TEST(Gestionnaire, ResetRestoresIdleValuesKeepsIdentityAndRaisesNothing) {
    BareEngine engine;
    EXPECT_EQ(engine.ProgressMax(), 100);
    engine.SetModelCode(6), engine.SetReportedModelCode(2), engine.SetOptions(8);
    engine.SetScriptDir("/upd/"), engine.SetMenuModel(1), engine.SetSlowMode(true);
    engine.SetCurrentLine("PB x"), engine.SetRxBuffer(".."), engine.SetProgressMax(9), engine.SetDeviceId(5);
    engine.ShowStatus("s"), engine.Send("t"), engine.Error(TErrorCode::internal, "e"), engine.SetBusy();
    FakeOwner owner(engine);
    engine.Reset();
    EXPECT_TRUE(owner.log.empty());
    EXPECT_FALSE(engine.Busy() || engine.SlowMode());
    EXPECT_EQ(engine.ProgressMax(), 100);
    EXPECT_EQ(engine.DeviceId(), 0);
    EXPECT_EQ(engine.CurrentLine() + engine.RxBuffer() + engine.TxText() + engine.ErrorText() +
                  engine.StatusText(),
              "");
    EXPECT_EQ(engine.ModelCode() * 1000 + engine.ReportedModelCode() * 100 + engine.Options() * 10 +
                  engine.MenuModel(),
              6281);
    EXPECT_EQ(engine.ScriptDir(), "/upd/");
}

TEST(Gestionnaire, UnboundEngineRunsWithoutEffect) {
    TInstCrt engine;
    engine.SetCurrentLine("RS");
    for (int i = 0; i < 5; ++i)
        engine.Execute();
    EXPECT_EQ(engine.TxText(), "RS");
    EXPECT_TRUE(engine.Busy()); // no owner ever copies an answer in
}

TEST(Gestionnaire, SystemClockAdvancesWithTime) {
    EngineClock clock = EngineClock::System();
    const std::uint32_t start = clock.Now();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_GE(static_cast<std::uint32_t>(clock.Now() - start), 25u);
}

TEST(DeviceTable, RecordsInTypeCheckOrder) {
    const int codes[] = {2, 1, 3, 4, 7, 5, 6}, types[] = {21, 18, 22, 23, 26, 25, 21};
    const char* names[] = {"KRB350", "KRA350", "KRC350", "KRD350", "KRT120", "KRA350", "KRB350"};
    for (int n = 1; n <= kDeviceCount; ++n) {
        const device_rec& r = DeviceRecordAt(n);
        EXPECT_EQ(r.code, codes[n - 1]);
        EXPECT_EQ(r.type_number, types[n - 1]);
        EXPECT_EQ(r.name, names[n - 1]);
        EXPECT_EQ(FindDeviceRecord(r.code), n);
    }
    EXPECT_EQ(DeviceRecordAt(6).directory, "\\KRA350_256\\");
    EXPECT_EQ(FindDeviceRecord(0), 0);
    EXPECT_THROW(DeviceRecordAt(0), std::out_of_range);
    EXPECT_THROW(DeviceRecordAt(8), std::out_of_range);
#ifdef _WIN32
    EXPECT_EQ(NativeDirectory(DeviceRecordAt(7)), "\\KRB350_256\\");
#else
    EXPECT_EQ(NativeDirectory(DeviceRecordAt(7)), "/KRB350_256/");
#endif
}

} // namespace
} // namespace vz::test
