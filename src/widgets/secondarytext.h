#pragma once

class KDLabel;

// The grey of secondary texts (descriptions, units, paths): the active
// skin's "kd-color-text-secondary", kept in step with skin changes.
namespace SecondaryText {
// Gives `label` the skin's secondary text colour; without one it keeps its own.
void apply(KDLabel *label);
// Applies it again after every skin change, for as long as `label` lives.
void follow(KDLabel *label);
}
