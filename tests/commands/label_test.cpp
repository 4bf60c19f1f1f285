// Lights' labels as the user meets them: asked once of a light set by hand,
// kept in the settings file on one line, and shown in the Devices submenu
// in the code page (Latin-1 here), with the mark of a light not answering.
#include <string.h>

#include <string>

#include "settings/settings.h"
#include "tests/commands/commands_fixture.h"

namespace
{

struct LabelRow {
    int slot;
    bool typed;         // set with "Device", so asked its label; else from the file
    bool answers;       // its light answers at all
    std::string sent;   // the label's 32 bytes as the light sends them
    std::string stored; // the file's line for the label, "" for none
    std::string entry;  // the menu entry's label, in the code page's bytes
    int lost;           // label questions that never reach the light
};

const LabelRow kRows[] = {
    {1, true, true, "Kitchen", "Kitchen", "#1 Bulb: Kitchen", 0},
    // All 32 bytes, no terminating zero: nothing past them is read.
    {2, true, true, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345",
     "#2 Bulb: ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", 0},
    // Control characters become spaces; "%" and quotes stay as they are.
    {3, true, true, "\tDesk\r\nlamp %n%s \"1\"\x7f", "Desk  lamp %n%s \"1\"",
     "#3 Bulb: Desk  lamp %n%s \"1\"", 0},
    // Kept as sent, shown whole character by whole character: a "?" for a
    // character beyond the code page, for bytes that are no UTF-8, and for a
    // character cut by the 32-byte end.
    {4, true, true,
     "K\xC3\xBC"
     "che \xE2\x98\x95 \xFF\xC3!1234567890123456\xE2\x98",
     "K\xC3\xBC"
     "che \xE2\x98\x95 \xFF\xC3!1234567890123456\xE2\x98",
     "#4 Bulb: K\xFC"
     "che ? ??"
     "!1234567890123456?",
     0},
    // Read from the file as from a light: 32 bytes at most.
    {5, false, false, "", "Porch light by the garden gate no.7",
     "#5 Bulb: Porch light by the garden gate n (not answering)", 0},
    {6, false, false, "", "", "#6 Bulb (not answering)", 0},
    // Set in the file, not by hand: not asked.
    {7, false, true, "Never asked", "", "#7 Bulb", 0},
    {8, true, true, "", "", "#8 Bulb", 0},
    // A lost question is asked three times.
    {9, true, true, "Desk strip", "Desk strip", "#9 MultiZone: Desk strip", 2},
};

class LabelTest : public CommandTest
{
};

TEST_F(LabelTest, TheDevicesSubmenuNamesLabelledLightsAndMarksSilentOnes)
{
    std::vector<SettingLine> lines = {{"lifx.auto.power:", "true"},
                                      {"lifx.device10.label:", "Gone"}};
    for (const LabelRow &row : kRows) {
        memset(Light(row.slot).label, 0, sizeof Light(row.slot).label);
        memcpy(Light(row.slot).label, row.sent.data(), row.sent.size());
        Light(row.slot).off = !row.answers;
        if (!row.typed)
            lines.push_back({DeviceKey(row.slot), Address(row.slot)});
        if (!row.typed && !row.stored.empty())
            lines.push_back({"lifx.device" + std::to_string(row.slot) + ".label:", row.stored});
    }
    Start(lines);
    for (const LabelRow &row : kRows) {
        Light(row.slot).loseType = kEmulatorTypeGetLabel;
        Light(row.slot).loseCount = row.lost;
        if (row.typed)
            Send("@LIFX Device #" + std::to_string(row.slot) + " " + Address(row.slot));
    }
    Send("@LIFX Scheme Fire");
    Pass(12000);
    Send("@LIFX Show Menu");

    std::string file = FileNow();
    const testhost::MenuSnapshot &devices = testhost::ShownMenus().back().entries[0].submenu[0];
    for (const LabelRow &row : kRows) {
        std::string key = "lifx.device" + std::to_string(row.slot) + ".label: ";
        EXPECT_EQ(file.find(key + row.stored + "\r\n") != std::string::npos, !row.stored.empty())
            << key;
        const testhost::MenuEntry &entry = devices.entries[row.slot - 1 + (row.slot > 8)];
        EXPECT_EQ(entry.label, row.entry);
        EXPECT_LE(strlen(g_deviceLabels[row.slot]), 32u) << "the label kept in memory";
        EXPECT_EQ(entry.text, Address(row.slot)) << "the text to edit is the address alone";
        EXPECT_EQ(entry.command, "@Chromalet-LIFX Device #" + std::to_string(row.slot));
        EXPECT_EQ(Light(row.slot).labelRequests, row.typed && row.answers ? 1 : 0) << row.slot;
    }
    EXPECT_EQ(devices.entries[10].label, "#10 MultiZone") << "an empty slot shows no label";
    EXPECT_EQ(std::string(testhost::ShownMenus().back().title), "Chromalet-LIFX");

    // Clearing a slot clears its label; a new address is another light.
    Send("@LIFX Device #1");
    Send("@LIFX Device #9 " + std::string(Address(10)));
    EXPECT_EQ(FileNow().find("Kitchen"), std::string::npos);
    EXPECT_EQ(FileNow().find("Desk strip"), std::string::npos);
}

} // namespace
