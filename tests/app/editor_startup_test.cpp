#include <gtest/gtest.h>

#include <mutex>

#include "app/editor.h"

namespace rivulo {
namespace {

// A ping target given at start is in force before the worker's first echo,
// so no request ever goes to the default target.
TEST(EditorStartup, FirstPingTargetReplacesTheDefaultBeforeTheWorkerStarts) {
  EditorServices services;
  services.pingTarget = "127.0.0.1";
  Editor editor(services);
  {
    std::lock_guard lock(editor.monitorMutex);
    EXPECT_EQ(editor.pingTarget, "127.0.0.1");
  }
  EXPECT_STREQ(editor.targetInput, "127.0.0.1");

  Editor plain;
  EXPECT_EQ(plain.pingTarget, "8.8.8.8");
  EXPECT_STREQ(plain.targetInput, "8.8.8.8");
}

}  // namespace
}  // namespace rivulo
