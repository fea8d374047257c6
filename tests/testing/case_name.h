// Names each row of a table-driven test after its case's `name`, so a failure reads as the case.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace brindlemoor::testing {

struct CaseName {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    return std::string(info.param.name);
  }
};

}  // namespace brindlemoor::testing
