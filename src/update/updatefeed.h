#pragma once

#include "update/releasemanifest.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QNetworkAccessManager;

// The vendor's update-feed document: version, release notes, package address and file name.
// The whole reply is stripped of line feeds, tabs and spaces before it is parsed.
struct UpdateFeed
{
    QString text;        // the stripped reply text, handed to the updater as is
    bool valid = false;  // the stripped text parsed as JSON
    QString version;     // empty when missing
    QString description; // each line followed by "\n"
    QString url;
    QString name;
    QByteArray manifest;  // the release manifest's exact bytes; empty when the feed has none
    QByteArray signature; // Ed25519 over those bytes; empty when unsigned

    static UpdateFeed parse(const QByteArray &body);
    // Dotted versions compared part by part as numbers, a missing part counting 0: -1, 0 or 1
    // ("5.0.0.10" is older than "5.0.1.0"). Empty when either has a part that is not a number.
    static std::optional<int> compareVersions(const QString &a, const QString &b);
    // Newer when the feed names a version that compares above `current`.
    bool isNewerThan(const QString &current) const;
    // Whether its release may replace `runningVersion`, under this build's keys.
    ReleaseCheck releaseCheck(const QString &runningVersion) const;

    // The feed address: a build-time constant (https, for this platform) that TARNEX_UPDATE_FEED
    // overrides. Plain http still reads an old feed; only the signature decides what installs.
    static QString feedUrl();
    // GET the feed synchronously, waiting at most `limitMs`; a silent or slow server yields an
    // empty, invalid feed (no update).
    static UpdateFeed fetch(QNetworkAccessManager &manager, int limitMs = 3000);
};
