// A light that cannot be reached, or a socket layer that fails, while the
// plug-in runs: on a command, a cycle tick, a resume or a power-off. The
// failing light is reported (with the debug log on) and skipped; every other
// light is served; the next event serves the failed light again; no socket
// or socket-layer start-up is left open.
#include "commands/timers.h"
#include "lifx/messages.h"
#include "platform/control_linux.h"
#include "plugin/plugin.h"
#include "tests/faults/fault_fixture.h"

namespace
{

// Strips of known length: none is asked its zones, so every socket here is a
// send's.
const std::string kLights = "lifx.device1: {1}\r\nlifx.device2: {2}\r\nlifx.device3: {3}\r\n"
                            "lifx.device9: {9}\r\nlifx.device10: {10}\r\n"
                            "lifx.device9.zones: 82\r\nlifx.device10.zones: 82\r\n";

class NetworkFaultTest : public FaultTest
{
  protected:
    // Once the lights' acknowledgements are read, the socket closes.
    void ExpectSocketsBalanced()
    {
        Drain();
        platform::AdvanceClock(kAnswersTickMs);
        platform::NetStats net = platform::GetNetStats();
        EXPECT_EQ(net.socketsCreated, net.socketsClosed);
        EXPECT_EQ(platform::WsaStartupsOutstanding(), 0);
    }
    // A bulb shown a colour receives SetLightPower, then SetColor.
    void ExpectBulbColoured(int n)
    {
        EXPECT_EQ(Types(n), (std::vector<int>{kTypeSetLightPower, kTypeSetColor})) << "light " << n;
    }
    void ExpectStripColoured(int n)
    {
        EXPECT_EQ(Types(n), (std::vector<int>{kTypeSetLightPower, kTypeSetExtendedColorZones}))
            << "light " << n;
    }
};

TEST_F(NetworkFaultTest, ALightThatCannotBeConnectedToOnASchemeChangeIsReportedAndSkipped)
{
    Start(kLights + "lifx.color.scheme: Ocean\r\n");
    platform::InjectNetFault(platform::NetFaultConnect, Address(2));

    Command("@LIFX Scheme Fire");
    Drain();

    EXPECT_TRUE(Logged(DeviceError("Could not connect to", 2)))
        << ::testing::PrintToString(LogLines());
    EXPECT_TRUE(Types(2).empty());
    ExpectBulbColoured(1);
    ExpectBulbColoured(3);
    // The strips' colours, then the stop of their move effect.
    for (int n : {9, 10}) {
        EXPECT_EQ(Types(n), (std::vector<int>{kTypeSetLightPower, kTypeSetExtendedColorZones,
                                              kTypeSetMultiZoneEffect}));
    }
    ExpectSocketsBalanced();

    Forget();
    Command("@LIFX Scheme Woods");
    Drain();
    ExpectBulbColoured(2);
    EXPECT_FALSE(Logged(DeviceError("Could not connect to", 2)));
}

TEST_F(NetworkFaultTest, ASendThatFailsOnACycleTickCostsOnlyThatLightThatTick)
{
    Start(kLights + "lifx.color.scheme: Fire\r\nlifx.cycle.colors: true\r\n"
                    "lifx.cycle.interval: 2\r\nlifx.auto.power: true\r\n");
    platform::InjectNetFault(platform::NetFaultSend, Address(9));

    platform::AdvanceClock(2000);
    Drain();

    EXPECT_TRUE(Logged(DeviceError("Could not send control packets to", 9)));
    EXPECT_TRUE(Types(9).empty()) << "the power message failed, so nothing more is sent";
    ExpectBulbColoured(1);
    ExpectBulbColoured(2);
    ExpectBulbColoured(3);
    ExpectStripColoured(10);

    Forget();
    platform::AdvanceClock(2000);
    Drain();
    ExpectStripColoured(9);
    ExpectSocketsBalanced();
}

TEST_F(NetworkFaultTest, ALightWhoseSendsKeepFailingIsReportedEveryTimeUntilItRecovers)
{
    Start(kLights + "lifx.color.scheme: Spooky\r\n");
    platform::InjectNetFault(platform::NetFaultSend, Address(1), 2);
    for (const char *scheme : {"Ocean", "Woods"}) {
        Forget();
        Command(std::string("@LIFX Scheme ") + scheme);
        Drain();
        EXPECT_TRUE(Logged(DeviceError("Could not send control packets to", 1))) << scheme;
        EXPECT_TRUE(Types(1).empty()) << scheme;
        ExpectBulbColoured(2);
    }
    Forget();
    Command("@LIFX Scheme Fire");
    Drain();
    ExpectBulbColoured(1);
    EXPECT_FALSE(Logged(DeviceError("Could not send control packets to", 1)));
    ExpectSocketsBalanced();
}

TEST_F(NetworkFaultTest, NoSocketOnATickIsReportedAndTheNextTickServesEveryLight)
{
    Start(kLights + "lifx.color.scheme: Woods\r\nlifx.cycle.colors: true\r\n"
                    "lifx.cycle.interval: 1\r\nlifx.auto.power: true\r\n");
    platform::InjectNetFault(platform::NetFaultSocket);

    platform::AdvanceClock(1000);
    EXPECT_EQ(Drain(), 0);
    EXPECT_TRUE(Logged("3 Chromalet-LIFX -> Could not create socket!"));
    ExpectSocketsBalanced();

    platform::AdvanceClock(1000);
    Drain();
    for (int n : {1, 2, 3})
        ExpectBulbColoured(n);
    ExpectStripColoured(9);
    ExpectStripColoured(10);
    ExpectSocketsBalanced();
}

TEST_F(NetworkFaultTest, SocketLayerFailingAtThePowerOnStepAfterResumeIsReported)
{
    Start(kLights + "lifx.color.scheme: Fire\r\nlifx.auto.power: true\r\n"
                    "lifx.move.effect: true\r\n");
    Send(WM_POWERBROADCAST, PBT_APMSUSPEND);
    Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    Forget();
    platform::InjectFault(platform::FaultWsaStartup);

    platform::AdvanceClock(5000);
    Drain();

    EXPECT_TRUE(Logged("3 Chromalet-LIFX -> Initiating Windows Sockets failed!"));
    // The colours were lost; the move effect that follows went out.
    EXPECT_EQ(Types(9), std::vector<int>{kTypeSetMultiZoneEffect});
    EXPECT_TRUE(Types(1).empty());
    ExpectSocketsBalanced();
}

TEST_F(NetworkFaultTest, PowerOffReachesEveryLightButTheOneThatCannotBeConnectedTo)
{
    Start(kLights + "lifx.color.scheme: Fire\r\n");
    platform::InjectNetFault(platform::NetFaultConnect, Address(1));
    platform::InjectNetFault(platform::NetFaultSend, Address(10));

    Command("@LIFX Power Off");
    Drain();

    EXPECT_TRUE(LogLines().empty()) << "switching all lights logs nothing, whatever happens";
    EXPECT_TRUE(Types(1).empty());
    for (int n : {2, 3}) {
        ASSERT_EQ(Types(n), std::vector<int>{kTypeSetLightPower}) << n;
        EXPECT_EQ(Light(n).powerLevel, 0);
    }
    EXPECT_EQ(Types(9), (std::vector<int>{kTypeSetMultiZoneEffect, kTypeSetLightPower}));
    EXPECT_EQ(Types(10), std::vector<int>{kTypeSetLightPower})
        << "the effect's send failed; the power message still goes";
    ExpectSocketsBalanced();
}

TEST_F(NetworkFaultTest, MoveEffectReachesTheOtherStripWhenOneCannotBeConnectedTo)
{
    Start(kLights + "lifx.color.scheme: Ocean\r\n");
    platform::InjectNetFault(platform::NetFaultConnect, Address(9));

    Command("@LIFX Toggle Move Effect");
    Drain();

    EXPECT_TRUE(Types(9).empty());
    ASSERT_EQ(Types(10), std::vector<int>{kTypeSetMultiZoneEffect});
    EXPECT_TRUE(Light(10).moveOn);
    EXPECT_TRUE(Types(1).empty()) << "bulbs never receive the effect";
    ExpectSocketsBalanced();
}

TEST_F(NetworkFaultTest, WhiteLightFailuresAreSilentAndTheNextCommandWorks)
{
    Start(kLights + "lifx.color.scheme: Manual\r\n");
    platform::InjectNetFault(platform::NetFaultSocket);
    Command("@LIFX White 2 50 4000");
    EXPECT_TRUE(Logged("3 Chromalet-LIFX -> Could not create socket!"));
    platform::InjectNetFault(platform::NetFaultConnect, Address(2));
    Command("@LIFX White 2 50 4000");
    platform::InjectNetFault(platform::NetFaultSend, Address(2));
    Command("@LIFX White 2 50 4000");
    Drain();
    EXPECT_TRUE(Types(2).empty());
    // No error line for the light itself; each try is announced before
    // its first datagram, which fails.
    EXPECT_EQ(LogLines(), (std::vector<std::string>{
                              "3 Chromalet-LIFX -> Could not create socket!",
                              "0 Chromalet-LIFX -> Connecting to device #2 at " +
                                  std::string(Address(2)) + " port 56700...",
                              "0 Chromalet-LIFX -> Connecting to device #2 at " +
                                  std::string(Address(2)) + " port 56700...",
                          }));

    Command("@LIFX White 2 50 4000");
    Drain();
    ASSERT_EQ(Types(2), (std::vector<int>{kTypeSetLightPower, kTypeSetColor}));
    EXPECT_EQ(Light(2).colour.kelvin, 4000);
    ExpectSocketsBalanced();
}

TEST_F(NetworkFaultTest, OneLightByCommandWithItsConnectFailingIsReported)
{
    Start(kLights + "lifx.color.scheme: Manual\r\n");
    platform::InjectNetFault(platform::NetFaultConnect, Address(3));
    Command("@LIFX RGB 3 #ff8000");
    Drain();
    EXPECT_TRUE(Logged(DeviceError("Could not connect to", 3)));
    EXPECT_TRUE(Types(3).empty());

    Command("@LIFX RGB 3 #ff8000");
    Drain();
    ExpectBulbColoured(3);
    ExpectSocketsBalanced();
}

} // namespace
