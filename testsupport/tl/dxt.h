// The table of damaged files that the DDS and QTX reader tests share.
#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "framework/base/log.h"
#include "testsupport/tl/dxtfixtures.h"

namespace dxtfix {

struct Hostile {
  const char* what;
  Bytes file;
  int64_t keep;  // bytes handed over; -1 all
  int code;      // 0: read, with `levels` levels
  int levels;
};

// Each file is handed over in a block of exactly its size, so that a step
// past its end is caught by the address sanitizer, and read both ways:
// refused with its code, or read with every level present.
inline void ExpectHostile(Reader read, const std::vector<Hostile>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tlfix::Exact e(c.file, c.keep < 0 ? c.file.size() : static_cast<size_t>(c.keep));
    ReadBothWays(read, e.data(), e.size(), [&](txBitmap* b) {
      if (c.code) {
        EXPECT_EQ(b, nullptr);
        EXPECT_EQ(errGetLastError(), c.code);
        return;
      }
      ASSERT_NE(b, nullptr) << errGetLastError();
      EXPECT_EQ(b->levels, c.levels);
      for (int i = 0; i < c.levels; ++i) EXPECT_NE(b->data[i], nullptr);
    });
  }
}

}  // namespace dxtfix
