import UpdateCheck 1.0

// One look at the update feed for the version dialog and the update dialog: `answered` comes
// once per check() with the feed's version (empty when the feed failed or did not answer in
// time) and the rest of its entry; isNewer() compares dotted versions part by part.
UpdateCheck {
    id: updateFeed
}
