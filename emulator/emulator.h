// A LIFX light emulator on loopback: one UDP socket per light address,
// decoding the four Set messages the plug-in sends into the state a real
// light would show, and answering the requests that find lights and tell
// what each is (GetService, GetLabel, GetExtendedColorZones, GetVersion,
// GetHostFirmware, GetColorZones, GetDeviceChain, GetColor) as a real bulb,
// strip, older strip, matrix light or Switch does, or as a silent, broken or
// older one does. A Set message that asks for an
// acknowledgement is acknowledged to its sender; others are never answered.
// On request a share of what each light receives, and of its
// answers, is lost, as on a bad Wi-Fi network.
//
// Single-threaded and poll-driven: the owner calls EmulatorPoll from its own
// loop (a preview) or right after the plug-in has sent (a test).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <deque>
#include <string>
#include <vector>

#include "lifx/messages.h"

// The emulator keeps its own copy of the wire constants so that a mistake in
// the plug-in's encoder cannot be mirrored by the decoder that checks it.
enum {
    kEmulatorPort = 56700,
    kEmulatorMaxLights = 16,
    kEmulatorZones = 82, // in one message
    // A strip has 1 to 1000 zones; 82 unless told otherwise.
    kEmulatorMaxZones = 1000,
    kEmulatorMaxZoneReplies = (kEmulatorMaxZones + kEmulatorZones - 1) / kEmulatorZones,
    kEmulatorAddressSize = 16, // "127.255.255.255" and its terminator

    kEmulatorHeaderSize = 36,
    // The plug-in always sends protocol 1024 with the addressable and tagged
    // bits set and origin 0; any other word is not from this plug-in.
    kEmulatorProtocolWord = 0x3400,
    // The same without the tagged bit: a request to one light's serial, and
    // every reply.
    kEmulatorUntaggedWord = 0x1400,
    kEmulatorTaggedBit = 0x2000,

    kEmulatorLabelSize = 32,
    kEmulatorSerialSize = 6,
    kEmulatorServiceUdp = 1,

    // The requests that find lights carry no payload.
    kEmulatorRequestSize = 36,
    kEmulatorTypeGetService = 2,
    kEmulatorTypeStateService = 3,
    kEmulatorTypeGetLabel = 23,
    kEmulatorTypeStateLabel = 25,
    kEmulatorTypeStateUnhandled = 223,
    kEmulatorTypeGetExtendedColorZones = 511,
    kEmulatorTypeStateExtendedColorZones = 512,
    // What a device is, and the original zone and matrix questions.
    kEmulatorTypeGetHostFirmware = 14,
    kEmulatorTypeStateHostFirmware = 15,
    kEmulatorTypeSetPower = 21,
    kEmulatorTypeGetVersion = 32,
    kEmulatorTypeStateVersion = 33,
    kEmulatorTypeGetColor = 101,
    kEmulatorTypeLightState = 107,
    kEmulatorTypeSetColorZones = 501,
    kEmulatorTypeGetColorZones = 502, // 2 bytes of payload: first and last zone
    kEmulatorTypeStateZone = 503,
    kEmulatorTypeStateMultiZone = 506,
    kEmulatorTypeGetDeviceChain = 701,
    kEmulatorTypeStateDeviceChain = 702,
    kEmulatorTypeGet64 = 707,
    kEmulatorTypeSet64 = 715,
    kEmulatorTypeCopyFrameBuffer = 716,

    kEmulatorStateServiceSize = 41,             // service u8, port u32
    kEmulatorStateLabelSize = 68,               // 32 bytes of label
    kEmulatorStateUnhandledSize = 38,           // the unhandled type, u16
    kEmulatorStateExtendedColorZonesSize = 697, // counts, index, 82 colours
    kEmulatorGetColorZonesSize = 38,
    kEmulatorStateHostFirmwareSize = 56,
    kEmulatorStateVersionSize = 48,
    kEmulatorLightStateSize = 88,
    kEmulatorStateMultiZoneSize = 102, // count, index, 8 colours
    kEmulatorMultiZoneColours = 8,
    kEmulatorStateDeviceChainSize = 918, // start, 16 tiles of 55 bytes, count
    kEmulatorTileSize = 55,
    kEmulatorMaxReplySize = 919, // the longest, with one byte too many

    kEmulatorTypeAcknowledgement = 45,
    kEmulatorAckRequiredBit = 0x02, // in byte 22

    kEmulatorTypeSetColor = 102,
    kEmulatorTypeSetLightPower = 117,
    kEmulatorTypeSetMultiZoneEffect = 508,
    kEmulatorTypeSetExtendedColorZones = 510,

    kEmulatorSetLightPowerSize = 42,
    kEmulatorSetColorSize = 49,
    kEmulatorSetMultiZoneEffectSize = 95,
    kEmulatorSetExtendedColorZonesSize = 700,

    // Older strips and matrix lights.
    kEmulatorSetColorZonesSize = 51,
    kEmulatorSet64Size = 558,
    kEmulatorCopyFrameBufferSize = 51,
    kEmulatorMaxTileSide = 64,

    // LIFX asks for at most 20 messages per second per device.
    kEmulatorRateWindowMs = 1000,
    kEmulatorRecommendedRate = 20,
};

// How a light answers requests.
enum EmulatorReplyMode {
    EmulatorRepliesNormal,        // as a real light does
    EmulatorRepliesSilent,        // never
    EmulatorRepliesMalformed,     // only with broken replies, several per request
    EmulatorRepliesOlderFirmware, // as a real light, but a bulb sends nothing for 511
};

// The one way each broken reply is broken; a light in malformed mode sends
// one reply per fault for every request, and never a valid one.
enum EmulatorFault {
    EmulatorFaultNone,
    EmulatorFaultSizeField,    // the size field one more than the length
    EmulatorFaultProtocol,     // protocol 1025
    EmulatorFaultSource,       // the request's source plus one
    EmulatorFaultShortPayload, // one byte short, the size field matching
    EmulatorFaultLongPayload,  // one byte long, the size field matching
    EmulatorFaultWrongType,    // a whole reply of a type that does not answer the request
    EmulatorFaultCount,
};

// What a device is. An older strip knows only the original zone messages
// (501 to 506) and counts its zones in a byte; a Switch has relays and
// buttons, no light, and refuses every light message.
enum EmulatorKind {
    EmulatorKindBulb,
    EmulatorKindStrip, // the extended zone messages too
    EmulatorKindOlderStrip,
    EmulatorKindMatrix, // a chain of tiles of pixels
    EmulatorKindSwitch,
};

enum {
    kEmulatorMaxOlderStripZones = 255,
    kEmulatorMaxMultiZoneReplies =
        (kEmulatorMaxOlderStripZones + kEmulatorMultiZoneColours - 1) / kEmulatorMultiZoneColours,
    kEmulatorMaxTiles = 16, // in one chain answer
    kEmulatorTilePixels = 64,
};

// A tile of a matrix light, as its chain answer tells it.
struct EmulatorTile {
    uint8_t width;
    uint8_t height;
};

// The one place a light's kind is set: its kind, the product and firmware it
// names, and a matrix light's chain. Product 0 names the kind's usual one.
// The chain is written as configured, unchecked, so that a test can make a
// light tell a chain no real light has: tileCount is the answer's count byte
// (only the first 16 tiles have room), and a truncated answer is cut short.
struct EmulatorKindConfig {
    EmulatorKind kind = EmulatorKindBulb;
    uint32_t product = 0;
    uint16_t firmwareMajor = 3;
    uint16_t firmwareMinor = 70;
    int tileCount = 1;
    EmulatorTile tiles[kEmulatorMaxTiles] = {{8, 8}};
    bool truncatedChain = false;
};

// The kind's usual product: a bulb 27, a strip 38, an older strip 31, a
// matrix light 55 (the Tile), a Switch 70.
uint32_t EmulatorUsualProduct(EmulatorKind kind);
// "bulb", "strip", "older-strip", "matrix", "switch".
const char *EmulatorKindName(EmulatorKind kind);
bool EmulatorParseKind(const char *text, EmulatorKind &kind);
// "8x8,8x8" or "16x8": 1 to 16 tiles, each side 0 to 255 (refusing sides no
// light has is the client's job). False, changing nothing, for other text.
bool EmulatorParseChain(const char *text, EmulatorKindConfig &config);

// One reply per fault, one StateExtendedColorZones per 82 zones or one
// StateMultiZone per 8, at most.
enum {
    kEmulatorMaxFaultOrZoneReplies = EmulatorFaultCount - 1 > kEmulatorMaxZoneReplies
                                         ? EmulatorFaultCount - 1
                                         : kEmulatorMaxZoneReplies,
    kEmulatorMaxReplies = kEmulatorMaxFaultOrZoneReplies > kEmulatorMaxMultiZoneReplies
                              ? kEmulatorMaxFaultOrZoneReplies
                              : kEmulatorMaxMultiZoneReplies,
};

struct EmulatorReply {
    uint16_t type; // as written in the header
    EmulatorFault fault;
    size_t length;
    uint8_t bytes[kEmulatorMaxReplySize];
};

// The replies one request calls for, built but not yet sent.
struct EmulatorReplies {
    int count = 0;
    EmulatorReply replies[kEmulatorMaxReplies];
};

enum EmulatorExchangeKind {
    EmulatorExchangeRequest, // a request for this light
    EmulatorExchangeIgnored, // a request for another serial
    EmulatorExchangeReply,   // a reply sent
};

struct EmulatorExchange {
    EmulatorExchangeKind kind;
    uint16_t type;
    EmulatorFault fault; // replies only
    bool tagged;         // requests only
    uint8_t target[kEmulatorSerialSize];
    // The requester, or where a reply went.
    char peer[kEmulatorAddressSize];
    uint16_t peerPort;
    int64_t atMs;
    // Set datagrams the light had received before this one, so that both
    // histories can be told in the order they happened.
    size_t afterReceived;
};

struct ReceivedDatagram {
    uint16_t type;
    int64_t atMs;
    std::vector<uint8_t> bytes;
};

struct EmulatedLight {
    char address[kEmulatorAddressSize] = {};

    // Who the light is. EmulatorStart gives the defaults of
    // EmulatorSetDefaultIdentity; the owner may change them before polling.
    // EmulatorResetLight keeps them.
    char label[kEmulatorLabelSize + 1] = {}; // 32 bytes need no terminator
    // Whether the light has zones. Set alone it makes an extended strip; an
    // older strip has it set beside its kind (see EmulatorLightKind).
    bool strip = false;
    EmulatorKindConfig kind;
    int stripZones = kEmulatorZones; // a strip's zones, 1 to 1000
    uint8_t serial[kEmulatorSerialSize] = {};
    EmulatorReplyMode replyMode = EmulatorRepliesNormal;
    // Also takes a Set message sent untagged to its own serial, as other
    // LIFX clients send them (the plug-in's, always tagged, are checked as
    // they are).
    bool takesAddressed = false;

    // SetLightPower
    bool powerReceived = false;
    uint16_t powerLevel = 0;
    uint32_t powerDuration = 0;
    int64_t powerAtMs = 0;

    // SetColor
    bool colourReceived = false;
    Hsbk colour = {};
    uint32_t colourDuration = 0;
    int64_t colourAtMs = 0;
    // Which of the whole colour and the zones came last: times in
    // milliseconds may be equal, this count never is.
    int64_t colourOrZonesMessages = 0;
    int64_t colourArrival = 0;

    // SetExtendedColorZones. Colours are stored from the message's zone index
    // on, within the strip's zones; zones shows them once a message with
    // apply 1 (or 2) arrives, as a strip does. The last message's fields are
    // kept as they came.
    bool zonesReceived = false;
    Hsbk zones[kEmulatorMaxZones] = {};
    Hsbk storedZones[kEmulatorMaxZones] = {};
    uint32_t zonesDuration = 0;
    uint8_t zonesApply = 0;
    uint16_t zoneIndex = 0;
    uint8_t zoneCount = 0;
    int64_t zonesAtMs = 0;
    int64_t zonesArrival = 0;

    // SetMultiZoneEffect
    bool effectReceived = false;
    bool moveOn = false;
    uint8_t effectType = 0;
    uint32_t effectInstance = 0;
    uint32_t moveSpeedMs = 0;
    uint32_t moveDirection = 0; // raw parameter 1: 1 forward, 0 reversed

    // Older strip (its kind): SetColorZones stored by apply 0, 1 and 2 in
    // the zones above.
    int colorZonesMessages = 0;

    // Matrix light (its kind): frame buffer 0, shown, and 1, not shown, of
    // every tile of its chain, tile after tile, row by row from the top,
    // sized by the chain at the first message that writes them. A light
    // refusing frame buffer 1 answers StateUnhandled to a Set64 into it and
    // to CopyFrameBuffer, and changes nothing.
    std::vector<Hsbk> frameBuffer[2];
    bool refuseFrameBuffer1 = false;
    int set64Messages = 0;
    int copyMessages = 0;
    // The type of the Set message just received that the light does not
    // take, answered with StateUnhandled; 0 for none.
    uint16_t unhandledType = 0;

    // Valid datagrams by type, and the datagrams refused.
    int powerMessages = 0;
    int colourMessages = 0;
    int zonesMessages = 0;
    int effectMessages = 0;
    int malformed = 0;

    // Requests for this light, counted in every reply mode; requests for
    // another serial; replies sent; who sent the latest request.
    int serviceRequests = 0;
    int labelRequests = 0;
    int zonesRequests = 0;
    // GetVersion, GetHostFirmware, GetColorZones, GetDeviceChain, GetColor.
    int kindRequests = 0;
    int ignoredRequests = 0;
    // Light messages a Switch refused with StateUnhandled.
    int unhandledMessages = 0;
    int repliesSent = 0;
    char requesterAddress[kEmulatorAddressSize] = {};
    uint16_t requesterPort = 0;

    // Every valid Set datagram, in order of arrival.
    std::vector<ReceivedDatagram> received;
    // Every request and every reply sent, in order.
    std::vector<EmulatorExchange> exchanges;

    // Switched off at the wall: hears nothing at all.
    bool off = false;
    // This light's own share lost each way, in per cent; -1: the emulator's.
    int lossPercent = -1;
    // The next loseCount datagrams of type loseType never reach the light.
    uint16_t loseType = 0;
    int loseCount = 0;
    // Datagrams that never reached the light (lost, or the light off), and
    // acknowledgements sent and lost on the way back.
    int lostDatagrams = 0;
    int acknowledgements = 0;
    int lostAcknowledgements = 0;

    // Arrival times of valid datagrams within the last rate window, and the
    // most that ever arrived within one window.
    std::deque<int64_t> recentArrivals;
    int peakPerSecond = 0;
};

struct Emulator {
    int lightCount = 0;
    EmulatedLight lights[kEmulatorMaxLights];
    int sockets[kEmulatorMaxLights] = {};
    bool running = false;

    long malformed = 0;
    // Replies sent. Set messages without the acknowledgement flag are never
    // answered, and tests check that it stays so.
    long sentDatagrams = 0;

    // The share, in per cent, of what each light receives and of its
    // answers that is lost; the same seed loses the same datagrams.
    int lossPercent = 0;
    uint32_t lossState = 1;
};

// From 0 to 100 per cent of datagrams lost each way, from this seed on.
void EmulatorSetLoss(Emulator &emulator, int percent, uint32_t seed);
// Whether the next datagram is lost, by the emulator's loss share.
bool EmulatorLoses(Emulator &emulator);
// The same for one light, by its own share where it has one.
bool EmulatorLightLoses(Emulator &emulator, const EmulatedLight *light);

// Binds one non-blocking UDP socket to port 56700 on each address, each
// separately (never the wildcard address), so other emulators can listen on
// other loopback addresses beside this one. Only 127.0.0.0/8 is accepted.
// On failure nothing stays open and error holds the reason.
bool EmulatorStart(Emulator &emulator, const char *const addresses[], int count, char *error,
                   size_t errorSize);

// Waits up to timeoutMs for the first datagram, then reads every datagram
// available now on every socket, decoding each into its light and answering
// requests from the light's own socket, to requesters on 127.0.0.0/8 only.
// Returns how many datagrams were read, malformed ones included. A negative
// timeout is taken as 0: the emulator never waits without end.
int EmulatorPoll(Emulator &emulator, int timeoutMs);

void EmulatorStop(Emulator &emulator);

// Forgets what every light received and sent, keeping the sockets, the
// addresses and who each light is.
void EmulatorResetLights(Emulator &emulator);
void EmulatorResetLight(EmulatedLight &light);

EmulatedLight *EmulatorFindLight(Emulator &emulator, const char *address);

// The light's kind: its kind configuration's, or an extended strip where
// only strip is set.
EmulatorKind EmulatorLightKind(const EmulatedLight &light);

// Label "Light ADDRESS", a bulb, serial d0 73 d5 and the last three octets
// of the address, answering as a real light does.
void EmulatorSetDefaultIdentity(EmulatedLight &light);
// Makes the light a matrix light of the given tiles (1 to 16, each 1 to 64
// pixels a side), both frame buffers black.
void EmulatorSetChain(EmulatedLight &light, int tiles, const uint8_t *widths,
                      const uint8_t *heights);
// The first pixel of a tile in frameBuffer[b].
int EmulatorTilePixel(const EmulatedLight &light, int tile);
// Cut at 32 bytes; the rest of the label is zeroed.
void EmulatorSetLabel(EmulatedLight &light, const char *label);

// The type of a Set message the plug-in could have sent, or 0.
int EmulatorDatagramType(const uint8_t *data, size_t length);

// Decodes one Set datagram into the light, as if it arrived at nowMs (which
// must not go backwards between calls). Any other datagram changes nothing
// but the light's malformed count.
bool EmulatorApplyDatagram(EmulatedLight &light, const uint8_t *data, size_t length, int64_t nowMs);

// The type of a well-formed request (GetService, GetLabel,
// GetExtendedColorZones, GetVersion, GetHostFirmware, GetColor,
// GetDeviceChain, or GetColorZones with its two bytes), or 0: 36 bytes (38
// for GetColorZones), the size field matching, protocol 1024 with
// the addressable bit and origin 0, a source other than 0 (a light would
// broadcast its replies to source 0), and either tagged with target 0 or
// untagged with two zero bytes after the serial.
int EmulatorRequestType(const uint8_t *data, size_t length);

enum EmulatorOutcome {
    EmulatorRefused,   // malformed: counted, nothing else changes
    EmulatorApplied,   // a Set message
    EmulatorRequested, // a request for this light: counted, recorded, answered
    EmulatorIgnored,   // an untagged request for another serial
};

// What the light makes of one datagram from fromAddress:fromPort. The
// replies a request calls for in the light's reply mode are built into
// replies (emptied first); sending and recording them is the caller's.
EmulatorOutcome EmulatorHandleDatagram(EmulatedLight &light, const uint8_t *data, size_t length,
                                       const char *fromAddress, uint16_t fromPort, int64_t nowMs,
                                       EmulatorReplies &replies);

// Names for lines and usage texts: "GetService", "StateLabel", ... (nullptr
// for a type the emulator does not know), "size-field", ..., "normal",
// "silent", "malformed", "older-firmware".
const char *EmulatorMessageName(int type);
const char *EmulatorFaultName(EmulatorFault fault);
const char *EmulatorReplyModeName(EmulatorReplyMode mode);
bool EmulatorParseReplyMode(const char *text, EmulatorReplyMode &mode);

// Valid datagrams that arrived in the second up to nowMs, (nowMs - 1000,
// nowMs]. Only the latest second is kept, so nowMs is the present or later.
int EmulatorMessagesInLastSecond(const EmulatedLight &light, int64_t nowMs);

// The clock EmulatorPoll stamps arrivals with: monotonic milliseconds.
int64_t EmulatorNowMs();

// One line for logs and failure messages, e.g.
// "light 127.10.3.1: on hsbk=21845,65535,32896,9000 dur=0 ...".
std::string EmulatorDescribeLight(const EmulatedLight &light);
