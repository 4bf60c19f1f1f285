'use strict';
// Decodes the plug-in's LIFX datagrams with an independent LIFX library
// (lifx-lan-client) and checks every decoded field against the values the
// plug-in's encoder was given. Usage: node check.js <path to lifx_images>
// Prints one line per check and "N passed, N failed"; exits 1 on a mismatch.

const fs = require('fs');
const path = require('path');
const {execFileSync} = require('child_process');

const libraryDir = path.join(__dirname, 'node_modules', 'lifx-lan-client');
if (!fs.existsSync(libraryDir)) {
  console.error('check.js: ' + libraryDir + ' is missing.');
  console.error('Install the pinned peer library first: npm ci --prefix tests/peer');
  process.exit(2);
}
const lifx = require('lifx-lan-client');

const imagesProgram = process.argv[2];
if (!imagesProgram) {
  console.error('usage: node check.js <path to lifx_images>');
  process.exit(2);
}

let output;
try {
  output = execFileSync(imagesProgram, [], {encoding: 'utf8', timeout: 30000});
} catch (err) {
  console.error('check.js: could not run ' + imagesProgram + ': ' + err.message);
  process.exit(2);
}

let passed = 0;
let failed = 0;

function check(name, field, actual, expected) {
  const a = Buffer.isBuffer(actual) ? actual.toString('hex') : actual;
  const e = Buffer.isBuffer(expected) ? expected.toString('hex') : expected;
  if (a === e) {
    passed++;
    console.log('ok   ' + name + ': ' + field + ' = ' + JSON.stringify(a));
  } else {
    failed++;
    console.log('FAIL ' + name + ': ' + field + ' is ' + JSON.stringify(a) +
                ', expected ' + JSON.stringify(e));
  }
}

const kinds = {
  SetLightPower: {type: 117, size: 42, packageName: 'setPower'},
  SetColor: {type: 102, size: 49, packageName: 'setColor'},
  SetMultiZoneEffect: {type: 508, size: 95, packageName: 'setMultiZoneEffect'},
  // The library has no decoder for this type: only its header is checked here.
  SetExtendedColorZones: {type: 510, size: 700, packageName: null},
  // Confirmed delivery: our source, ack required, a sequence.
  ConfirmedSetLightPower: {type: 117, size: 42, packageName: 'setPower', confirmed: true},
  // Requests that find lights: they carry a source, ask for an answer, and
  // all but GetService name their light.
  GetService: {type: 2, size: 36, packageName: 'getService', request: true},
  GetLabel: {type: 23, size: 36, packageName: 'getLabel', request: true},
  GetExtendedColorZones: {type: 511, size: 36, packageName: null, request: true},
};

const kInstanceId = 0x1A2B3C4D;

// A source as the library writes it: its four bytes in order, in hex.
function sourceHex(source) {
  const b = Buffer.alloc(4);
  b.writeUInt32LE(source, 0);
  return b.toString('hex');
}

// The header of the four messages that set lights is the same but for size
// and type; a request carries its source, target and sequence.
function checkHeader(name, kind, buf, decoded, input) {
  const request = kind.request === true;
  const tagged = !request || kind.type === 2;
  check(name, 'datagram length', buf.length, kind.size);
  check(name, 'size', decoded.size, kind.size);
  check(name, 'protocol', decoded.protocolVersion, 1024);
  check(name, 'addressable', decoded.addressable, true);
  check(name, 'tagged', decoded.tagged, tagged);
  check(name, 'origin', decoded.origin, false);
  const stamped = request || kind.confirmed === true;
  check(name, 'source', decoded.source, stamped ? sourceHex(input.source) : '00000000');
  check(name, 'target', decoded.target, request ? input.target : '000000000000');
  check(name, 'reserved after target', decoded.reserved1, Buffer.alloc(2));
  check(name, 'site', decoded.site, '');
  check(name, 'ack required', decoded.ackRequired, kind.confirmed === true);
  check(name, 'response required', decoded.resRequired, request);
  check(name, 'sequence', decoded.sequence, stamped ? input.sequence : 0);
  check(name, 'time', decoded.time, Buffer.alloc(8));
  check(name, 'type', decoded.type, kind.type);
  check(name, 'reserved after type', decoded.reserved2, Buffer.alloc(2));
}

// The image the library's own encoder makes from the same values.
function libraryImage(buf, fields) {
  return lifx.packet.toBuffer(Object.assign(
      {size: buf.length, addressable: true, tagged: true}, fields));
}

const lines = output.split('\n').filter((line) => line.trim() !== '');
if (lines.length === 0) {
  console.error('check.js: ' + imagesProgram + ' printed no messages');
  process.exit(2);
}

for (const line of lines) {
  const image = JSON.parse(line);
  const name = image.name;
  const kind = kinds[image.kind];
  if (!kind) {
    failed++;
    console.log('FAIL ' + name + ': unknown message kind ' + image.kind);
    continue;
  }
  const buf = Buffer.from(image.hex, 'hex');
  const input = image.input;

  let decoded;
  try {
    decoded = kind.packageName ? lifx.packet.toObject(buf) : lifx.packet.headerToObject(buf);
  } catch (err) {
    decoded = err;
  }
  if (decoded instanceof Error) {
    failed++;
    console.log('FAIL ' + name + ': the library could not decode it: ' + decoded.message);
    continue;
  }
  checkHeader(name, kind, buf, decoded, input);

  if (image.kind === 'SetLightPower') {
    check(name, 'level', decoded.level, input.on ? 65535 : 0);
    check(name, 'duration', decoded.duration, 0);
    const reference = libraryImage(buf, {type: 'setPower', level: input.on ? 65535 : 0, duration: 0});
    check(name, 'bytes from the library encoder', buf, reference);
  } else if (image.kind === 'ConfirmedSetLightPower') {
    const reference = libraryImage(buf, {
      type: 'setPower', level: 65535, duration: 0, source: sourceHex(input.source),
      ackRequired: true, sequence: input.sequence,
    });
    check(name, 'bytes from the library encoder', buf, reference);
  } else if (image.kind === 'SetColor') {
    check(name, 'reserved byte', decoded.stream, 0);
    check(name, 'hue', decoded.color.hue, input.hue);
    check(name, 'saturation', decoded.color.saturation, input.saturation);
    check(name, 'brightness', decoded.color.brightness, input.brightness);
    check(name, 'kelvin', decoded.color.kelvin, input.kelvin);
    check(name, 'duration', decoded.duration, input.duration);
    const reference = libraryImage(buf, {
      type: 'setColor', hue: input.hue, saturation: input.saturation,
      brightness: input.brightness, kelvin: input.kelvin, duration: input.duration,
    });
    check(name, 'bytes from the library encoder', buf, reference);
  } else if (image.kind === 'SetMultiZoneEffect') {
    const direction = input.reverse ? 0 : 1;
    check(name, 'instance id', decoded.instanceId, kInstanceId);
    check(name, 'effect type', decoded.effectType, input.on ? 1 : 0);
    check(name, 'speed', decoded.speed, input.speedSeconds * 1000);
    // The library decodes no direction, so its encoder checks that field:
    // a running move effect with the same speed and direction, whose random
    // instance id is replaced by ours. Stopping differs only in the effect type.
    const reference = libraryImage(buf, {
      type: 'setMultiZoneEffect', effectType: 1, speed: input.speedSeconds * 1000,
      parameter2: direction,
    });
    reference.writeUInt32LE(kInstanceId, 36);
    reference.writeUInt8(input.on ? 1 : 0, 40);
    check(name, 'bytes from the library encoder', buf, reference);
  } else if (image.kind === 'SetExtendedColorZones' && input.zoneCount !== undefined) {
    // The library has no decoder for this type: the payload is read here
    // from the published layout, and each colour compared with the one zone
    // z of the strip was given (hue z * 797 wraps at 16 bits).
    const k = input.zoneCount;
    const index = 82 * input.span;
    const count = Math.min(82, k - index);
    check(name, 'duration', buf.readUInt32LE(36), input.duration);
    check(name, 'apply', buf.readUInt8(40), input.span === input.spans - 1 ? 1 : 0);
    check(name, 'zone index', buf.readUInt16LE(41), index);
    check(name, 'colours count', buf.readUInt8(43), count);
    let colours = '';
    let expected = '';
    for (let i = 0; i < 82; i++) {
      const at = 44 + 8 * i;
      colours += [0, 2, 4, 6].map((o) => buf.readUInt16LE(at + o)).join(',') + ';';
      const z = index + i;
      expected += i < count ? [(z * 797) % 65536, 65535 - 3 * z, 20000 + 11 * z, 9000].join(',') + ';'
                            : '0,0,0,0;';
    }
    check(name, 'colours', colours, expected);
  } else if (kind.packageName) {
    const reference = lifx.packet.toBuffer({
      size: 36, type: kind.packageName, tagged: kind.type === 2, addressable: true,
      source: sourceHex(input.source), target: input.target, resRequired: true,
      sequence: input.sequence,
    });
    check(name, 'bytes from the library encoder', buf, reference);
  }
}

// Answers as the library's encoder makes them, read by the plug-in's reply
// reader: what it read must be what was encoded, and an answer to another
// source must be refused.
const ours = '4c58464c';
const serial = 'd073d5a1b2c3';
const answers = [
  {name: 'state service', type: 'stateService', size: 41, fields: {service: 1, port: 56700},
   want: {type: 3, service: 1, port: 56700, label: ''}},
  {name: 'state label', type: 'stateLabel', size: 68, fields: {label: 'Kitchen bulb'},
   want: {type: 25, service: 0, port: 0, label: Buffer.from('Kitchen bulb').toString('hex')}},
  {name: 'state label of 32 bytes', type: 'stateLabel', size: 68,
   fields: {label: 'abcdefghijklmnopqrstuvwxyz012345'},
   want: {type: 25, service: 0, port: 0,
          label: Buffer.from('abcdefghijklmnopqrstuvwxyz012345').toString('hex')}},
];
const encoded = [];
for (const answer of answers) {
  for (const source of [ours, '01020304']) {
    encoded.push(lifx.packet.toBuffer(Object.assign({
      size: answer.size, type: answer.type, addressable: true, source: source, target: serial,
      sequence: 5,
    }, answer.fields)).toString('hex'));
  }
}
let readLines;
try {
  readLines = execFileSync(imagesProgram, ['--read', ours].concat(encoded),
                           {encoding: 'utf8', timeout: 30000}).trim().split('\n');
} catch (err) {
  console.error('check.js: could not run ' + imagesProgram + ' --read: ' + err.message);
  process.exit(2);
}
answers.forEach((answer, i) => {
  const read = JSON.parse(readLines[2 * i] || '{}');
  check(answer.name, 'read', read.read, true);
  check(answer.name, 'type', read.type, answer.want.type);
  check(answer.name, 'serial', read.serial, serial);
  check(answer.name, 'sequence', read.sequence, 5);
  check(answer.name, 'service', read.service, answer.want.service);
  check(answer.name, 'port', read.port, answer.want.port);
  check(answer.name, 'label', read.label, answer.want.label);
  const foreign = JSON.parse(readLines[2 * i + 1] || '{}');
  check(answer.name + ' to another source', 'read', foreign.read, false);
});

// Acknowledgements as the library makes them: ours is read with its
// sequence; another source's, or one a byte short, is refused.
const ack = (source) => lifx.packet.toBuffer({
  size: 36, type: 'acknowledgement', addressable: true, source: source, target: serial,
  sequence: 200,
}).toString('hex');
let ackLines;
try {
  ackLines = execFileSync(imagesProgram, ['--read', ours, ack(ours), ack('01020304'),
                                          ack(ours).slice(0, 70)],
                          {encoding: 'utf8', timeout: 30000}).trim().split('\n');
} catch (err) {
  console.error('check.js: could not run ' + imagesProgram + ' --read: ' + err.message);
  process.exit(2);
}
check('acknowledgement', 'datagram length', ack(ours).length / 2, 36);
const ackRead = JSON.parse(ackLines[0] || '{}');
check('acknowledgement', 'read', ackRead.read, true);
check('acknowledgement', 'type', ackRead.type, 45);
check('acknowledgement', 'sequence', ackRead.sequence, 200);
check('acknowledgement to another source', 'read', JSON.parse(ackLines[1] || '{}').read, false);
check('acknowledgement a byte short', 'read', JSON.parse(ackLines[2] || '{}').read, false);

console.log(passed + ' passed, ' + failed + ' failed');
process.exit(failed === 0 ? 0 : 1);
