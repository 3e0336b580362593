#pragma once

namespace bm::platform
{

// The most memory one decoded picture may take, in megabytes.
//
// 512 MB holds 134 million pixels at four bytes each: any photograph a
// phone or camera takes (a 108-megapixel shot included) loads, while a file
// whose header claims some absurd size (60000 by 60000 pixels is 14 GB) is
// refused before a byte of it is decoded. Qt's own default has changed
// between versions, so the program sets its own.
inline constexpr int pictureMemoryLimitMB = 512;

// Sets the limit for every picture the program decodes; called once at start.
void limitPictureMemory();

} // namespace bm::platform
