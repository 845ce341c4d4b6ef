// The seven standard tests, one file each: every one builds its closed-loop runs from
// its options (resolved, defaults filled in), runs them and reads its result off them.
#ifndef CORVANTA_TESTSUITE_TESTPROCEDURES_H
#define CORVANTA_TESTSUITE_TESTPROCEDURES_H

#include "engine/testsuite/TestOptions.h"
#include "engine/testsuite/TestResult.h"
#include "engine/testsuite/TestRun.h"

namespace corvanta::testsuite {

TestResult steadyStateCircle(const TestContext &context, const OptionValues &options);
TestResult stepSteer(const TestContext &context, const OptionValues &options);
TestResult frequencyResponse(const TestContext &context, const OptionValues &options);
TestResult doubleLaneChange(const TestContext &context, const OptionValues &options);
TestResult brakingTest(const TestContext &context, const OptionValues &options);
TestResult accelerationTest(const TestContext &context, const OptionValues &options);
TestResult coastDown(const TestContext &context, const OptionValues &options);

}  // namespace corvanta::testsuite

#endif  // CORVANTA_TESTSUITE_TESTPROCEDURES_H
