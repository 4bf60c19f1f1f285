'use strict';
// The peer library's side of the settle comparison: lifx-lan-client with
// its default resends, driving the bulbs named on the command line. Reads
// "go BULB K" lines (BULB counting from 0) and sets that bulb to the colour
// of change K; prints "sent BULB K MS" as it asks, and "done BULB K ok|error"
// when the library reports back. Milliseconds are on the monotonic clock.
//
//   node peer_client.js ADDRESS:SERIAL...
//
// Loopback addresses only: anything else is refused, and the library's
// broadcast address is pointed at loopback so that nothing leaves the host.

const path = require('path');
const readline = require('readline');

const lifx = require(path.join(__dirname, '..', '..', 'tests', 'peer', 'node_modules',
                               'lifx-lan-client'));

const bulbs = process.argv.slice(2).map(function(arg) {
  const [address, serial] = arg.split(':');
  if (!/^127\.\d+\.\d+\.\d+$/.test(address) || !/^[0-9a-f]{12}$/.test(serial)) {
    console.error('peer_client.js: ' + arg + ' is not LOOPBACK-ADDRESS:SERIAL');
    process.exit(2);
  }
  return {address: address, serial: serial};
});

function nowMs() {
  return Number(process.hrtime.bigint() / 1000n) / 1000;
}

const client = new lifx.Client();
client.init({startDiscovery: false, address: '127.0.0.1', broadcast: '127.0.0.1'}, function() {
  const lights = bulbs.map(function(bulb) {
    const light = new lifx.Light({client: client, id: bulb.serial, address: bulb.address,
                                  port: 56700, seenOnDiscovery: 0});
    client.devices[bulb.serial] = light;
    return light;
  });
  console.log('ready');
  const input = readline.createInterface({input: process.stdin});
  input.on('line', function(line) {
    const [word, bulbText, changeText] = line.split(' ');
    const bulb = Number(bulbText), change = Number(changeText);
    if (word !== 'go' || !(bulb >= 0 && bulb < lights.length))
      return;
    console.log('sent ' + bulb + ' ' + change + ' ' + nowMs().toFixed(1));
    lights[bulb].color((change * 4) % 360, 100, 50, 3500, 0, function(err) {
      console.log('done ' + bulb + ' ' + change + ' ' + (err ? 'error' : 'ok'));
    });
  });
  input.on('close', function() {
    client.destroy();
  });
});
