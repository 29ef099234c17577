// The INI reader and writer: whatever is read writes out as a file that
// reads back to the same entries and writes out the same again.
#include "FuzzCheck.h"

#include "base/IniImage.h"

using vorlune::base::IniImage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const IniImage first = IniImage::fromBytes(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QByteArray written = first.toBytes();
    const IniImage second = IniImage::fromBytes(written);
    fuzzCheck(second.sectionNames() == first.sectionNames(), "sections read back");
    for (const QString &section : first.sectionNames()) {
        const QStringList keys = first.keys(section);
        fuzzCheck(second.keys(section) == keys, "keys read back", section);
        for (const QString &key : keys) {
            const QString value = first.readString(section, key, {});
            fuzzCheck(second.readString(section, key, QStringLiteral("\x01")) == value, "value read back",
                      section + QLatin1Char('/') + key);
        }
    }
    fuzzCheck(second.toBytes() == written, "written again the same");
    return 0;
}
