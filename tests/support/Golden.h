#pragma once

#include <gtest/gtest.h>

#include <string>

class QImage;

// Compares a picture, colour only, pixel for pixel with its reviewed copy
// tests/data/golden/<name>.png. A missing copy fails; a differing picture is saved as
// <name>.actual.png in outputFolder for review.
// With CARNELO_UPDATE_GOLDEN=1 the reviewed copy is rewritten instead and the comparison
// fails, so a run that redraws never passes; under CI (CI set) the switch is refused.
testing::AssertionResult MatchesGolden(const QImage& actual, const std::string& name, const std::string& outputFolder);

// The reviewed copy's path.
std::string GoldenPath(const std::string& name);
