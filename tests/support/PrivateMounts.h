#pragma once
// Whether this test program may mount volumes of its own: as root, or as a
// plain user where the kernel lets it make a user namespace (see
// PrivateMounts.cpp). Tests that mount skip only when this is false.
bool MayMount();
