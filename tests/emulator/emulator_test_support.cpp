#include "tests/emulator/emulator_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

void PutU16(Bytes &bytes, size_t offset, uint16_t value)
{
    bytes.at(offset) = value & 0xFF;
    bytes.at(offset + 1) = (value >> 8) & 0xFF;
}

void PutU32(Bytes &bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        bytes.at(offset + i) = (value >> (8 * i)) & 0xFF;
}

void PutHsbk(Bytes &bytes, size_t offset, const Hsbk &colour)
{
    PutU16(bytes, offset, colour.hue);
    PutU16(bytes, offset + 2, colour.saturation);
    PutU16(bytes, offset + 4, colour.brightness);
    PutU16(bytes, offset + 6, colour.kelvin);
}

Bytes Header(size_t size, uint16_t type)
{
    Bytes bytes(size, 0);
    if (size >= 36) {
        PutU16(bytes, 0, (uint16_t)size);
        bytes[2] = 0x00;
        bytes[3] = 0x34;
        PutU16(bytes, 32, type);
    }
    return bytes;
}

Bytes ZonesDatagram(uint32_t durationMs, uint8_t apply, uint16_t zoneIndex, uint8_t count,
                    const Hsbk (&records)[kEmulatorZones])
{
    Bytes bytes = Header(700, 510);
    PutU32(bytes, 36, durationMs);
    bytes[40] = apply;
    PutU16(bytes, 41, zoneIndex);
    bytes[43] = count;
    for (int z = 0; z < kEmulatorZones; z++)
        PutHsbk(bytes, 44 + 8 * z, records[z]);
    return bytes;
}

bool SendDatagram(const char *address, const Bytes &datagram)
{
    sockaddr_in to;
    memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_port = htons(kEmulatorPort);
    if (inet_pton(AF_INET, address, &to.sin_addr) != 1 || (ntohl(to.sin_addr.s_addr) >> 24) != 127)
        return false;
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return false;
    ssize_t sent =
        sendto(fd, datagram.data(), datagram.size(), 0, (const sockaddr *)&to, sizeof to);
    close(fd);
    return sent == (ssize_t)datagram.size();
}

int PollFor(Emulator &emulator, int expected)
{
    int handled = 0;
    for (int round = 0; round < 50 && handled < expected; round++)
        handled += EmulatorPoll(emulator, 100);
    return handled;
}

namespace
{

void Add(std::string &text, const char *name, long long value)
{
    char line[96];
    snprintf(line, sizeof line, "%s=%lld\n", name, value);
    text += line;
}

void AddHsbk(std::string &text, const char *name, const Hsbk &colour)
{
    char line[96];
    snprintf(line, sizeof line, "%s=%u,%u,%u,%u\n", name, colour.hue, colour.saturation,
             colour.brightness, colour.kelvin);
    text += line;
}

} // namespace

std::string StateText(const EmulatedLight &light)
{
    std::string text = std::string("address=") + light.address + "\n";
    Add(text, "powerReceived", light.powerReceived);
    Add(text, "powerLevel", light.powerLevel);
    Add(text, "powerDuration", light.powerDuration);
    Add(text, "powerAtMs", light.powerAtMs);
    Add(text, "colourReceived", light.colourReceived);
    AddHsbk(text, "colour", light.colour);
    Add(text, "colourDuration", light.colourDuration);
    Add(text, "colourAtMs", light.colourAtMs);
    Add(text, "zonesReceived", light.zonesReceived);
    for (int z = 0; z < kEmulatorZones; z++) {
        char name[16];
        snprintf(name, sizeof name, "zone%d", z);
        AddHsbk(text, name, light.zones[z]);
    }
    Add(text, "zonesDuration", light.zonesDuration);
    Add(text, "zonesApply", light.zonesApply);
    Add(text, "zoneIndex", light.zoneIndex);
    Add(text, "zoneCount", light.zoneCount);
    Add(text, "zonesAtMs", light.zonesAtMs);
    Add(text, "effectReceived", light.effectReceived);
    Add(text, "moveOn", light.moveOn);
    Add(text, "effectType", light.effectType);
    Add(text, "effectInstance", light.effectInstance);
    Add(text, "moveSpeedMs", light.moveSpeedMs);
    Add(text, "moveDirection", light.moveDirection);
    Add(text, "powerMessages", light.powerMessages);
    Add(text, "colourMessages", light.colourMessages);
    Add(text, "zonesMessages", light.zonesMessages);
    Add(text, "effectMessages", light.effectMessages);
    Add(text, "received", (long long)light.received.size());
    Add(text, "recentArrivals", (long long)light.recentArrivals.size());
    Add(text, "peakPerSecond", light.peakPerSecond);
    Add(text, "serviceRequests", light.serviceRequests);
    Add(text, "labelRequests", light.labelRequests);
    Add(text, "zonesRequests", light.zonesRequests);
    Add(text, "ignoredRequests", light.ignoredRequests);
    Add(text, "repliesSent", light.repliesSent);
    text += std::string("requesterAddress=") + light.requesterAddress + "\n";
    Add(text, "requesterPort", light.requesterPort);
    Add(text, "exchanges", (long long)light.exchanges.size());
    return text;
}
