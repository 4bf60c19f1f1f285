// Matrix lights in a strip's slot, as their frame buffers show them: the
// pattern runs on across the pixels as along a strip's zones, and a change
// shows whole or not at all.
#include <string>
#include <vector>

#include "lifx/messages.h"
#include "settings/settings.h"
#include "tests/plugin/plugin_test_support.h"

namespace
{

struct Chain {
    int tiles;
    uint8_t width;
    uint8_t height;
    bool refusesFrameBuffer1;
};

std::string Text(const std::vector<Hsbk> &pixels, size_t from, size_t count)
{
    std::string text;
    for (size_t p = from; p < from + count && p < pixels.size(); p++)
        text += std::to_string(pixels[p].hue) + "," + std::to_string(pixels[p].brightness) + " ";
    return text;
}

class ImagesTest : public StartedPluginTest
{
  protected:
    // Light 9 a matrix light of the chain in slot 9; light 10 an extended
    // strip of as many zones in slot 10, which the pixels must match.
    int StartChain(const Chain &chain, const std::string &settings)
    {
        int pixels = chain.tiles * chain.width * chain.height;
        std::string tiles;
        uint8_t widths[kMaxTiles], heights[kMaxTiles];
        for (int t = 0; t < chain.tiles; t++) {
            widths[t] = chain.width;
            heights[t] = chain.height;
            tiles +=
                (t ? "," : "") + std::to_string(chain.width) + "x" + std::to_string(chain.height);
        }
        EmulatorSetChain(Light(9), chain.tiles, widths, heights);
        Start("lifx.device9: {9}\r\nlifx.device9.kind: matrix\r\nlifx.device9.chain: " + tiles +
              "\r\nlifx.device10: {10}\r\nlifx.device10.zones: " + std::to_string(pixels) + "\r\n" +
              settings);
        Light(9).refuseFrameBuffer1 = chain.refusesFrameBuffer1;
        Light(10).stripZones = pixels;
        return pixels;
    }
    std::string Shown(int pixels) { return Text(Light(9).frameBuffer[0], 0, (size_t)pixels); }
    std::string Strip(int from, int zones)
    {
        std::vector<Hsbk> z(Light(10).zones, Light(10).zones + from + zones);
        return Text(z, (size_t)from, (size_t)zones);
    }
};

TEST_F(ImagesTest, EveryPixelOfEveryChainShowsThePatternAsAStripsZoneAndCyclingMovesItOne)
{
    const Chain chains[] = {
        {1, 8, 8, false}, {5, 8, 8, false}, {1, 5, 6, false}, {1, 16, 8, false}, {2, 8, 8, true}};
    for (const Chain &chain : chains) {
        SCOPED_TRACE(std::to_string(chain.tiles) + "x" + std::to_string(chain.width) + "x" +
                     std::to_string(chain.height) + (chain.refusesFrameBuffer1 ? " refusing" : ""));
        int pixels = StartChain(chain, "lifx.color.scheme: Manual\r\nlifx.cycle.colors: true\r\n"
                                       "lifx.cycle.interval: 2\r\n");
        HandleCommandText("@LIFX Scheme Fire");
        Pass(1500);
        std::vector<Hsbk> first = Light(9).frameBuffer[0];
        EXPECT_EQ(Shown(pixels), Strip(0, pixels));
        EXPECT_NE(Shown(pixels), Text(std::vector<Hsbk>((size_t)pixels), 0, (size_t)pixels));
        Pass(1000);
        // One step along: pixel p shows what pixel p + 1 showed.
        EXPECT_EQ(Shown(pixels), Strip(0, pixels));
        EXPECT_EQ(Text(Light(9).frameBuffer[0], 0, (size_t)pixels - 1),
                  Text(first, 1, (size_t)pixels - 1));
        int frameBuffer0Writes = 0;
        for (const ReceivedDatagram &d : Light(9).received)
            frameBuffer0Writes += d.type == kTypeSet64 && d.bytes[38] == 0;
        EXPECT_EQ(frameBuffer0Writes > 0, chain.refusesFrameBuffer1);
        Stop();
        ResetLights();
    }
}

TEST_F(ImagesTest, ALostWriteLeavesTheOldImageWholeUntilItsResendThenShowsTheNewOneWhole)
{
    int pixels = StartChain({5, 8, 8, false}, "lifx.color.scheme: Fire\r\n");
    HandleCommandText("@LIFX Scheme Fire");
    Pass(500);
    std::string fire = Shown(pixels);
    ASSERT_EQ(fire, Strip(0, pixels));
    // The first tile's write is lost; the other four are confirmed.
    Light(9).loseType = kTypeSet64;
    Light(9).loseCount = 1;
    HandleCommandText("@LIFX Scheme Ocean");
    Pass(200);
    EXPECT_EQ(Light(9).set64Messages, 5 + 4);
    EXPECT_EQ(Shown(pixels), fire);
    Pass(1000);
    EXPECT_EQ(Shown(pixels), Strip(0, pixels));
    EXPECT_NE(Shown(pixels), fire);
}

} // namespace
