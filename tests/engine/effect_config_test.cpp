#include "engine/effect_config.h"

#include <gtest/gtest.h>

namespace rivulo {
namespace {

TEST(EffectConfig, DefaultsMeanNoEffect) {
  ActiveEffects effects;
  EXPECT_EQ(effects.inbound, EffectConfig{});
  EXPECT_EQ(effects.outbound.latencyMs, 0u);
  EXPECT_FALSE(effects.outbound.block);
}

}  // namespace
}  // namespace rivulo
