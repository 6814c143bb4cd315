#pragma once

#include <QDir>
#include <QString>

// Converts chat bodies between the form the server stores (web emoticon markup, relative server
// paths, whatever token was current when the message was written) and the form the desktop
// documents display (local emoticon images, absolute URLs carrying the current token). Pure
// string work for the GUI thread; the messaging facade forwards its text invokables here.
// The token only ever goes into URLs of the current server's origin, and never into text that
// is sent: a message is read by others, and may point anywhere.
class MessageTextCodec
{
public:
    // The application directory is where "emojis/" lives; by default the working directory at
    // construction, as the client is started from its installation folder.
    explicit MessageTextCodec(const QString &applicationDirectory = QDir::currentPath());

    // Web emoticon elements to local 14x14 images (types 1); any other types gives "".
    QString filterUseInformation(const QString &infors, int types = 1) const;
    // Local emoticon images, as the rich-text editor writes them back, to web emoticon elements.
    QString swapNetworkInformation(const QString &inforsa) const;
    // Display form to the stored form, before sending: absolute server URLs become relative,
    // the links wrapped around server images are removed and the tokens taken out.
    QString replaceTokenToRegular(const QString &contents);
    // Stored form to the display form: relative URLs become absolute, the token of every URL of
    // the current server becomes the current one and each server image is wrapped in a link to
    // itself. URLs of other hosts get no token. Sets isContainImage().
    QString replaceRegularToToken(const QString &contents);
    // Stored form to safe rich text: the two display transforms above, then every element the
    // sender wrote that is not the client's own markup shown as the text it was.
    QString displayMarkup(const QString &stored);
    // URL of the attachment with the given id (one encoded path segment), with the current
    // token.
    QString getAllImagePaths(const QString &images) const;
    // Whether the last replaceRegularToToken() result holds an image.
    bool isContainImage() const { return m_imageFlag; }

    QString applicationDirectory() const { return m_applicationDirectory; }
    // Empty until the first token transform, then the current server's at each transform.
    QString serverBase() const { return m_serverBase; }

    // Whether `url` is one of the stored relative forms ("../", "/x") or of the current server's
    // origin (scheme, host and port).
    static bool isOwnServer(const QString &url);

private:
    void ensureServerBase();

    QString m_applicationDirectory;
    QString m_serverBase;
    bool m_imageFlag = false;
};
