#include "build/Sha256.h"
#include "support/TestRegistry.h"

#include <QCryptographicHash>
#include <QTest>

class Sha256Test : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Lengths around the 55/56/64-byte padding boundaries, where hand-written
    // digests usually go wrong.
    void matchesQtDigest()
    {
        for (int length : {0, 1, 3, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 1000, 100000}) {
            QByteArray data(length, Qt::Uninitialized);
            for (int i = 0; i < length; ++i)
                data[i] = char((i * 131 + length) & 0xFF);
            const std::string digest = vorlune::build::sha256(std::string_view(data.constData(), size_t(length)));
            QCOMPARE(QByteArray::fromStdString(digest), QCryptographicHash::hash(data, QCryptographicHash::Sha256));
        }
        QCOMPARE(QByteArray::fromStdString(vorlune::build::sha256("abc")).toHex(),
                 QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    }
};

VORLUNE_TEST(Sha256Test)
#include "Sha256Test.moc"
