#include "generator/archivecontent.h"

#include "generator/compression.h"
#include "generator/documentcontent.h"
#include "generator/imagecontent.h"
#include "generator/prose.h"
#include "generator/seededrandom.h"
#include "generator/tarwriter.h"
#include "generator/zipwriter.h"

#include <stdexcept>

namespace {

QByteArray sourceFile(SeededRandom &r)
{
    QByteArray code = "#include <stdio.h>\n\n";
    const int functions = r.between(2, 6);
    for (int i = 0; i < functions; ++i) {
        const QByteArray name = Prose::topic(r).toUtf8() + '_' + QByteArray::number(i);
        code += "/* " + Prose::sentence(r).toUtf8() + " */\nstatic int " + name + "(int value)\n{\n    return value * "
            + QByteArray::number(r.between(2, 99)) + " + " + QByteArray::number(r.between(0, 999)) + ";\n}\n\n";
    }
    code += "int main(void)\n{\n    printf(\"ready\\n\");\n    return 0;\n}\n";
    return code;
}

QByteArray zip(const PlannedFile &file, SeededRandom &r)
{
    ZipWriter zip;
    const int documents = r.between(2, 8);
    for (int i = 0; i < documents; ++i) {
        const QByteArray name = Prose::topic(r).toUtf8() + '-' + QByteArray::number(i + 1) + ".txt";
        zip.add(name, DocumentContent::plainText(r.next(), r.between(1, 4)).toUtf8(), file.modified);
    }
    // Already compressed contents are stored, as archivers do.
    zip.add("attachment.bin", r.bytes(r.between(1024, 32 * 1024)), file.modified, ZipWriter::Method::stored);
    return zip.finish();
}

QByteArray tarGz(const PlannedFile &file, SeededRandom &r)
{
    const QByteArray top = file.title.toUtf8() + '/';
    TarWriter tar;
    tar.addFolder(top, file.modified);
    tar.addFile(
        top + "README.md", "# " + file.title.toUtf8() + "\n\n" + Prose::paragraph(r, 4).toUtf8() + '\n', file.modified);
    tar.addFile(top + "LICENSE",
        "Copyright (c) " + Prose::personName(r).toUtf8() + "\n\nPermission is granted to use.\n", file.modified);
    tar.addFolder(top + "src", file.modified);
    const int sources = r.between(1, 5);
    for (int i = 0; i < sources; ++i)
        tar.addFile(
            top + "src/" + Prose::topic(r).toUtf8() + QByteArray::number(i) + ".c", sourceFile(r), file.modified);
    return Compression::gzip(tar.finish());
}

} // namespace

namespace ArchiveContent {

QByteArray make(const PlannedFile &file)
{
    SeededRandom r(file.seed);
    switch (file.content) {
    case Content::zip:
        return zip(file, r);
    case Content::tarGz:
        return tarGz(file, r);
    case Content::data:
        return r.bytes(r.between(4 * 1024, 256 * 1024));
    default:
        throw std::logic_error("not an archive");
    }
}

QList<BundleFile> bundle(const PlannedFile &file)
{
    SeededRandom r(file.seed);
    const QByteArray name = file.title.toUtf8();
    const QByteArray identifier = "com.example." + name.toLower().replace(' ', '-');
    const QByteArray plist
        = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
          "<plist version=\"1.0\">\n<dict>\n"
          "\t<key>CFBundleExecutable</key>\n\t<string>"
        + name
        + "</string>\n"
          "\t<key>CFBundleIdentifier</key>\n\t<string>"
        + identifier
        + "</string>\n"
          "\t<key>CFBundleName</key>\n\t<string>"
        + name
        + "</string>\n"
          "\t<key>CFBundleShortVersionString</key>\n\t<string>2."
        + QByteArray::number(r.between(0, 9))
        + "</string>\n"
          "\t<key>CFBundleIconFile</key>\n\t<string>AppIcon</string>\n"
          "</dict>\n</plist>\n";
    // Mach-O magic at the start of the executable, the rest opaque.
    const QByteArray executable = QByteArray("\xcf\xfa\xed\xfe\x07\x00\x00\x01", 8) + r.bytes(r.between(16, 64) * 1024);
    return {
        { "Contents/Info.plist", plist, 0644 },
        { "Contents/MacOS/" + name, executable, 0755 },
        { "Contents/Resources/AppIcon.png", ImageContent::icon(r.next()), 0644 },
        { "Contents/Resources/en.lproj/Localizable.strings",
            "\"Welcome\" = \"Welcome to " + name + "\";\n\"Quit\" = \"Quit\";\n", 0644 },
    };
}

} // namespace ArchiveContent
