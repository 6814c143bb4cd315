#pragma once

#include <QString>
#include <QStringList>

// What a package may unpack to at most; more is a zip bomb, not a client.
struct PackageLimits
{
    qint64 totalBytes = qint64(4) << 30; // uncompressed, all entries together
    int entries = 100000;
};

// Unpacks a package archive without ever writing outside the target folder. Entries with an
// absolute path, a ".." segment or a link that resolves outside are skipped. install() first
// unpacks into a staging folder in the installation's work folder, checks every file against the
// archive's listing, and only then switches the files over under a journal (InstallJournal), so a
// damaged package or a cut-off switch leaves the installed version whole.
class PackageUnpacker
{
public:
    enum class HostileEntries {
        Skip,   // unpack the rest of the archive
        Refuse, // a package that tries to escape is not trusted at all
    };

    using Limits = PackageLimits;

    struct Result
    {
        bool ok = false;
        QStringList written; // relative paths written (or moved into place), in archive order
        QStringList skipped; // entry names refused as hostile
        QString error;       // why it failed, for the log
    };

    // The entry's path relative to the target in `relative` ("a/b.txt"; empty for an entry
    // such as "./" that names the target itself). False when the entry must be skipped.
    static bool safeRelativePath(const QString &entryName, QString *relative);

    // Unpacks `archive` into the folder `target` (created when missing). An archive beyond
    // `limits` (by its directory or by the bytes it really unpacks to) fails.
    static Result extract(const QString &archive, const QString &target,
                          HostileEntries hostile = HostileEntries::Skip,
                          const Limits &limits = Limits());

    // Installs `archive` (of release `version`) over the installation `target`, replacing
    // existing files; files it does not carry are kept. The replaced files stay in the work
    // folder until the new client's first start (InstallJournal::recover).
    static Result install(const QString &archive, const QString &target,
                          HostileEntries hostile = HostileEntries::Refuse,
                          const Limits &limits = Limits(), const QString &version = QString());

    // Whether unpacking is available in this build.
    static bool available();
};
