#include "generator/installercontent.h"

#include "generator/compression.h"
#include "generator/seededrandom.h"
#include "generator/tarwriter.h"

#include <QtEndian>

#include <stdexcept>

namespace {

template <typename T> void putBig(QByteArray &out, T value)
{
    const T big = qToBigEndian(value);
    out.append(reinterpret_cast<const char *>(&big), sizeof big);
}

template <typename T> void putLittle(QByteArray &out, T value)
{
    const T little = qToLittleEndian(value);
    out.append(reinterpret_cast<const char *>(&little), sizeof little);
}

QByteArray field(const QByteArray &text, int width)
{
    return text.leftJustified(width, ' ', true);
}

QByteArray launcher(const QByteArray &package)
{
    return "#!/bin/sh\nexec /opt/" + package + "/" + package + " \"$@\"\n";
}

// A Debian package: an ar archive of "debian-binary", the control data and the files.
QByteArray deb(const PlannedFile &file, SeededRandom &r)
{
    const QByteArray package = file.title.toUtf8();
    const QByteArray version = file.text;
    const QByteArray description = "Desktop application " + package;
    TarWriter control;
    control.addFolder("./", file.modified);
    control.addFile("./control",
        "Package: " + package + "\nVersion: " + version
            + "\nArchitecture: amd64\nMaintainer: Packaging Team <packages@example.com>\n"
              "Installed-Size: "
            + QByteArray::number(r.between(100, 90000))
            + "\nSection: utils\nPriority: optional\nDescription: " + description + "\n",
        file.modified);
    TarWriter data;
    data.addFolder("./", file.modified);
    data.addFolder("./usr/", file.modified);
    data.addFolder("./usr/bin/", file.modified);
    data.addFile("./usr/bin/" + package, launcher(package), file.modified, 0755);
    data.addFolder("./opt/", file.modified);
    data.addFolder("./opt/" + package + '/', file.modified);
    data.addFile("./opt/" + package + '/' + package, r.bytes(r.between(20, 200) * 1024), file.modified, 0755);

    const QByteArray members[][2]
        = { { "debian-binary", "2.0\n" }, { "control.tar.gz", Compression::gzip(control.finish()) },
              { "data.tar.gz", Compression::gzip(data.finish()) } };
    QByteArray out = "!<arch>\n";
    for (const auto &member : members) {
        out += field(member[0], 16) + field(QByteArray::number(std::max<qint64>(file.modified.unixSeconds(), 0)), 12)
            + field("0", 6) + field("0", 6) + field("100644", 8) + field(QByteArray::number(member[1].size()), 10)
            + "`\n" + member[1];
        if (member[1].size() % 2 != 0)
            out += '\n';
    }
    return out;
}

QByteArray rpmHeader(const QList<std::tuple<quint32, quint32, QByteArray, quint32>> &entries)
{
    QByteArray index;
    QByteArray store;
    for (const auto &[tag, type, value, count] : entries) {
        if (type == 4) // 32-bit integers are aligned in the store
            store.append(QByteArray((4 - store.size() % 4) % 4, '\0'));
        putBig<quint32>(index, tag);
        putBig<quint32>(index, type);
        putBig<quint32>(index, static_cast<quint32>(store.size()));
        putBig<quint32>(index, count);
        store.append(value);
    }
    QByteArray out("\x8e\xad\xe8\x01\0\0\0\0", 8);
    putBig<quint32>(out, static_cast<quint32>(entries.size()));
    putBig<quint32>(out, static_cast<quint32>(store.size()));
    return out + index + store;
}

QByteArray cpioEntry(const QByteArray &name, const QByteArray &data, unsigned mode, qint64 mtime)
{
    QByteArray out = "070701";
    const unsigned values[] = { 0, mode, 0, 0, 1, static_cast<unsigned>(mtime), static_cast<unsigned>(data.size()), 0,
        0, 0, 0, static_cast<unsigned>(name.size() + 1), 0 };
    for (unsigned v : values)
        out += QByteArray::number(v, 16).rightJustified(8, '0').toUpper();
    out += name + '\0';
    out.append(QByteArray((4 - out.size() % 4) % 4, '\0'));
    out += data;
    out.append(QByteArray((4 - out.size() % 4) % 4, '\0'));
    return out;
}

// An RPM package: the lead, a signature header, the header naming the package, and a gzip'd
// cpio payload.
QByteArray rpm(const PlannedFile &file, SeededRandom &r)
{
    const QByteArray name = file.title.toUtf8();
    const QByteArray version = file.text;
    const QByteArray release = "1";
    const auto string = [](const QByteArray &s) -> QByteArray { return s + '\0'; };
    const qint64 mtime = std::max<qint64>(file.modified.unixSeconds(), 0);
    const QByteArray payload = Compression::gzip(cpioEntry("./usr/bin/" + name, launcher(name), 0100755, mtime)
        + cpioEntry("./opt/" + name + '/' + name, r.bytes(r.between(20, 200) * 1024), 0100755, mtime)
        + cpioEntry("TRAILER!!!", {}, 0, 0));
    QByteArray size;
    putBig<quint32>(size, static_cast<quint32>(r.between(100, 90000) * 1024));
    const QByteArray header = rpmHeader({
        { 1000, 6, string(name), 1 },
        { 1001, 6, string(version), 1 },
        { 1002, 6, string(release), 1 },
        { 1004, 9, string("Desktop application " + name), 1 },
        { 1009, 4, size, 1 },
        { 1014, 6, string("Proprietary"), 1 },
        { 1021, 6, string("linux"), 1 },
        { 1022, 6, string("x86_64"), 1 },
        { 1124, 6, string("cpio"), 1 },
        { 1125, 6, string("gzip"), 1 },
    });
    QByteArray signatureSize;
    putBig<quint32>(signatureSize, static_cast<quint32>(header.size() + payload.size()));
    QByteArray signature = rpmHeader({ { 1000, 4, signatureSize, 1 } });
    signature.append(QByteArray((8 - signature.size() % 8) % 8, '\0'));

    QByteArray lead("\xed\xab\xee\xdb\x03\x00", 6);
    putBig<quint16>(lead, 0); // binary package
    putBig<quint16>(lead, 1); // x86
    lead += QByteArray(name + '-' + version + '-' + release).left(65).leftJustified(66, '\0');
    putBig<quint16>(lead, 1); // Linux
    putBig<quint16>(lead, 5); // header-style signature
    lead.append(QByteArray(16, '\0'));
    return lead + signature + header + payload;
}

// A disk image: its data, a property list of its partitions and the 512-byte "koly" trailer
// that locates both.
QByteArray dmg(SeededRandom &r)
{
    const QByteArray data = r.bytes(r.between(100, 500) * 1024);
    const QByteArray plist = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                             "\t<key>resource-fork</key>\n\t<dict/>\n</dict>\n</plist>\n";
    QByteArray trailer = "koly";
    putBig<quint32>(trailer, 4); // version
    putBig<quint32>(trailer, 512); // header size
    putBig<quint32>(trailer, 1); // flags
    putBig<quint64>(trailer, 0); // running data fork offset
    putBig<quint64>(trailer, 0); // data fork offset
    putBig<quint64>(trailer, static_cast<quint64>(data.size()));
    putBig<quint64>(trailer, 0); // resource fork offset
    putBig<quint64>(trailer, 0); // resource fork length
    putBig<quint32>(trailer, 1); // segment number
    putBig<quint32>(trailer, 1); // segment count
    trailer += r.bytes(16); // segment identifier
    trailer.append(QByteArray(136, '\0')); // data fork checksum (type, size, value)
    putBig<quint64>(trailer, static_cast<quint64>(data.size()));
    putBig<quint64>(trailer, static_cast<quint64>(plist.size()));
    trailer.append(QByteArray(120, '\0'));
    trailer.append(QByteArray(136, '\0')); // master checksum
    putBig<quint32>(trailer, 1); // image variant
    putBig<quint64>(trailer, static_cast<quint64>(data.size() / 512));
    trailer.append(QByteArray(12, '\0'));
    return data + plist + trailer;
}

// A type 2 AppImage: an ELF executable carrying the "AI\x02" mark, followed by its file system.
QByteArray appImage(SeededRandom &r)
{
    QByteArray elf("\x7f"
                   "ELF\x02\x01\x01\x00"
                   "AI\x02",
        11);
    elf.append(QByteArray(5, '\0'));
    putLittle<quint16>(elf, 2); // executable
    putLittle<quint16>(elf, 0x3e); // x86-64
    putLittle<quint32>(elf, 1);
    putLittle<quint64>(elf, 0x401000); // entry point
    putLittle<quint64>(elf, 0); // program headers
    putLittle<quint64>(elf, 0); // section headers
    putLittle<quint32>(elf, 0);
    putLittle<quint16>(elf, 64);
    putLittle<quint16>(elf, 56);
    putLittle<quint16>(elf, 0);
    putLittle<quint16>(elf, 64);
    putLittle<quint16>(elf, 0);
    putLittle<quint16>(elf, 0);
    elf.append(QByteArray(4096 - elf.size(), '\0'));
    return elf + "hsqs" + r.bytes(r.between(100, 600) * 1024);
}

QByteArray flatpakRef(const PlannedFile &file)
{
    return "[Flatpak Ref]\nName=" + file.title.toUtf8() + "\nBranch=" + file.text
        + "\nUrl=https://dl.flathub.org/repo/\nIsRuntime=false\n"
          "RuntimeRepo=https://dl.flathub.org/repo/flathub.flatpakrepo\n";
}

} // namespace

namespace InstallerContent {

QByteArray make(const PlannedFile &file)
{
    SeededRandom r(file.seed);
    switch (file.content) {
    case Content::deb:
        return deb(file, r);
    case Content::rpm:
        return rpm(file, r);
    case Content::dmg:
        return dmg(r);
    case Content::appImage:
        return appImage(r);
    case Content::flatpakRef:
        return flatpakRef(file);
    default:
        throw std::logic_error("not an installer");
    }
}

} // namespace InstallerContent
