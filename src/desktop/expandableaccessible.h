#pragma once

// Qt Quick 5.15 gives a document no way to say that a tree row can open and is open: a row that
// declares `accessibleExpandable` and `accessibleExpanded` properties gets both states from the
// interface installed here, and readers are told when the second one changes.
namespace ExpandableAccessible {

// After the first window exists: Qt Quick installs its own interfaces with it, and the one
// installed last is asked first.
void install();

} // namespace ExpandableAccessible
