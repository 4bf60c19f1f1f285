// Loopback addresses for one test process, so test programs can run in
// parallel, and beside a running preview (which uses 127.56.x.x), each
// binding port 56700 on addresses no other process uses.
#pragma once

enum { kLoopbackAddressSize = 16 };

// Fills out[0..count-1] with 127.A.B.C: A in 10-49 and B in 1-250, both from
// the process id; C counts from 1 within the group. A test that needs two
// emulators asks for group 0 and group 1; groups 0-14 hold up to 16
// addresses each, and entries past the 16th are left empty.
void TestLoopbackAddresses(char out[][kLoopbackAddressSize], int count, int group = 0);
