#pragma once

#include <QQuickPaintedItem>
#include <QString>

#include <qrencode.h>

#include <memory>

class QPainter;

// Shows a text as a QR symbol: whole-pixel modules stretched over the item, less a 10-pixel
// strip at the right and the bottom, without a quiet zone.
class CodePainter : public QQuickPaintedItem
{
    Q_OBJECT
    // Whether the last text was encoded: documents and tests can tell a drawn code from a blank.
    Q_PROPERTY(bool hasSymbol READ hasSymbol NOTIFY symbolChanged)
public:
    explicit CodePainter(QQuickItem *parent = nullptr);
    ~CodePainter() override;

    // Encodes the text; a text the symbol cannot hold leaves the item blank.
    Q_INVOKABLE void generateString(QString str);

    QString text() const { return m_text; }
    bool hasSymbol() const { return m_symbol != nullptr; }

    void paint(QPainter *painter) override;

signals:
    void symbolChanged();

private:
    struct SymbolDeleter
    {
        void operator()(QRcode *symbol) const { QRcode_free(symbol); }
    };

    QString m_text;
    std::unique_ptr<QRcode, SymbolDeleter> m_symbol;
};
