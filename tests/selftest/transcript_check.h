// Judges a self-test run by its boxes, line by line, and its exit status.
#pragma once

#include <gtest/gtest.h>

#include "expected_transcript.h"
#include "program_run.h"

// Every box as expected, in order, none missing or extra; the whole transcript
// and the program's standard error are shown when not.
::testing::AssertionResult shows_boxes(const ProgramRun &run, const Transcript &expected);

// The self-test reports through its boxes only: it ends with status 0 on every path.
::testing::AssertionResult ended_with_status_zero(const ProgramRun &run);
