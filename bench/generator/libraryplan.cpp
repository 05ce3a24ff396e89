#include "generator/libraryplan.h"

#include "generator/planbuilder.h"

#include <array>
#include <utility>

namespace {

using Place = PlanBuilder::Place;
using Site = PlanBuilder::Site;
using Age = PlanBuilder::Age;

enum class Pick {
    photo,
    lookAlikes,
    screenshot,
    drawing,
    gif,
    webp,
    textPdf,
    scannedPdf,
    plainText,
    markdown,
    csv,
    json,
    docx,
    xlsx,
    odt,
    music,
    voiceMemo,
    video,
    zip,
    tarGz,
    installer,
    data,
    bundle,
    copy,
};

// The mix of a typical home folder, in parts per thousand of the steps that fill it.
constexpr std::array<std::pair<Pick, int>, 24> kMix { {
    { Pick::photo, 262 },
    { Pick::lookAlikes, 4 },
    { Pick::screenshot, 50 },
    { Pick::drawing, 20 },
    { Pick::gif, 10 },
    { Pick::webp, 20 },
    { Pick::textPdf, 70 },
    { Pick::scannedPdf, 20 },
    { Pick::plainText, 50 },
    { Pick::markdown, 30 },
    { Pick::csv, 20 },
    { Pick::json, 20 },
    { Pick::docx, 30 },
    { Pick::xlsx, 20 },
    { Pick::odt, 10 },
    { Pick::music, 100 },
    { Pick::voiceMemo, 10 },
    { Pick::video, 40 },
    { Pick::zip, 20 },
    { Pick::tarGz, 10 },
    { Pick::installer, 30 },
    { Pick::data, 20 },
    { Pick::bundle, 2 },
    { Pick::copy, 32 },
} };

constexpr std::array kTagSets { "Work,Receipts", "Family", "Travel,Family", "Important", "Work", "Taxes,Important" };

Pick pick(SeededRandom &random)
{
    int total = 0;
    for (const auto &entry : kMix)
        total += entry.second;
    int n = random.between(0, total - 1);
    for (const auto &entry : kMix) {
        if (n < entry.second)
            return entry.first;
        n -= entry.second;
    }
    return Pick::photo;
}

template <typename T, std::size_t N> T weighted(SeededRandom &random, const std::array<std::pair<T, int>, N> &choices)
{
    int total = 0;
    for (const auto &c : choices)
        total += c.second;
    int n = random.between(0, total - 1);
    for (const auto &c : choices) {
        if (n < c.second)
            return c.first;
        n -= c.second;
    }
    return choices[0].first;
}

Place downloadsWith(SeededRandom &random, double probability)
{
    return random.chance(probability) ? Place::downloads : Place::usual;
}

// A copy takes its original's name, so an original whose name is not UTF-8 is left out.
bool copyable(const PlannedFile &file)
{
    return file.listed && file.content != Content::bundle && file.content != Content::verbatim
        && QString::fromUtf8(file.path).toUtf8() == file.path;
}

QByteArray folderOf(const QByteArray &path)
{
    return path.left(path.lastIndexOf('/'));
}

// One of each sort of content and each case a reader must handle.
void addFixedFiles(PlanBuilder &b)
{
    b.bundle();
    const int turned = b.photo(0, 6);
    b.photo(3, 1);
    b.photo(5, 1);
    b.photo(7, 1);
    b.lookAlikeSet(3);
    b.screenshot(true);
    b.screenshot(false);
    b.image(Content::drawing, Place::usual);
    b.image(Content::gif, Place::downloads, Site::discord);
    b.image(Content::webp, Place::downloads, Site::whatsapp);
    const int receipt = b.document(Content::textPdf, Place::usual);
    b.tag(receipt, "Work,Receipts");
    b.document(Content::scannedPdf, Place::usual);
    b.document(Content::plainText, Place::usual);
    const int readme = b.document(Content::markdown, Place::usual);
    b.document(Content::csv, Place::usual);
    b.document(Content::json, Place::downloads, Site::rawGithub);
    b.document(Content::docx, Place::downloads, Site::gmail);
    b.document(Content::xlsx, Place::usual);
    b.document(Content::odt, Place::usual);
    b.document(Content::textPdf, Place::downloads, Site::slack);
    b.voiceMemo();
    for (Content format : { Content::mp3, Content::ogg, Content::m4a, Content::flac })
        b.music(format);
    for (Content format : { Content::mp4, Content::mkv, Content::webm, Content::mov })
        b.video(format);
    b.archive(Content::zip, Place::downloads, Site::example);
    b.archive(Content::tarGz, Place::usual);
    b.installer(Content::deb, Age::old, Site::github);
    b.installer(Content::rpm, Age::recent, Site::vendor);
    b.installer(Content::dmg, Age::old, Site::none);
    b.installer(Content::appImage, Age::recent, Site::github);
    b.installer(Content::flatpakRef, Age::recent, Site::example);
    b.data();
    b.copy(receipt);
    b.copy(turned);
    b.odd("Documents/caf\xe9.txt", Content::plainText);

    const QByteArray project = folderOf(b.file(readme).path);
    b.hidden(project + "/.git/HEAD", Content::verbatim, "ref: refs/heads/main\n");
    b.hidden(project + "/.git/config", Content::verbatim,
        "[core]\n\trepositoryformatversion = 0\n\tfilemode = true\n\tbare = false\n");
    b.hidden("Documents/.notes-draft.txt", Content::plainText);
    b.hidden("Desktop/.hidden", Content::verbatim, "private.txt\nOld Stuff\n");
    b.hidden("Desktop/private.txt", Content::plainText);
    b.hidden("Desktop/Old Stuff/old-notes.txt", Content::plainText);
    b.link("Desktop/Projects", "../Documents/Projects");
}

void addOne(PlanBuilder &b, Pick what)
{
    SeededRandom &r = b.random();
    switch (what) {
    case Pick::photo:
        b.photo();
        break;
    case Pick::lookAlikes:
        b.lookAlikeSet(3);
        break;
    case Pick::screenshot:
        b.screenshot(r.chance(0.6));
        break;
    case Pick::drawing:
        b.image(Content::drawing, downloadsWith(r, 0.1));
        break;
    case Pick::gif:
        b.image(Content::gif, downloadsWith(r, 0.5));
        break;
    case Pick::webp:
        b.image(Content::webp, downloadsWith(r, 0.6));
        break;
    case Pick::textPdf:
        b.document(Content::textPdf, downloadsWith(r, 0.2));
        break;
    case Pick::scannedPdf:
        b.document(Content::scannedPdf, Place::usual);
        break;
    case Pick::plainText:
        b.document(Content::plainText, downloadsWith(r, 0.05));
        break;
    case Pick::markdown:
        b.document(Content::markdown, Place::usual);
        break;
    case Pick::csv:
        b.document(Content::csv, downloadsWith(r, 0.1));
        break;
    case Pick::json:
        b.document(Content::json, downloadsWith(r, 0.1));
        break;
    case Pick::docx:
        b.document(Content::docx, downloadsWith(r, 0.15));
        break;
    case Pick::xlsx:
        b.document(Content::xlsx, downloadsWith(r, 0.1));
        break;
    case Pick::odt:
        b.document(Content::odt, Place::usual);
        break;
    case Pick::music:
        b.music(weighted(r,
            std::array<std::pair<Content, int>, 4> {
                { { Content::mp3, 50 }, { Content::m4a, 20 }, { Content::flac, 15 }, { Content::ogg, 15 } } }));
        break;
    case Pick::voiceMemo:
        b.voiceMemo();
        break;
    case Pick::video:
        b.video(weighted(r,
            std::array<std::pair<Content, int>, 4> {
                { { Content::mp4, 40 }, { Content::mov, 30 }, { Content::mkv, 15 }, { Content::webm, 15 } } }));
        break;
    case Pick::zip:
        b.archive(Content::zip, downloadsWith(r, 0.5));
        break;
    case Pick::tarGz:
        b.archive(Content::tarGz, downloadsWith(r, 0.4));
        break;
    case Pick::installer:
        b.installer(weighted(r,
                        std::array<std::pair<Content, int>, 5> { { { Content::deb, 35 }, { Content::appImage, 25 },
                            { Content::rpm, 15 }, { Content::dmg, 15 }, { Content::flatpakRef, 10 } } }),
            Age::any);
        break;
    case Pick::data:
        b.data();
        break;
    case Pick::bundle:
        b.bundle();
        break;
    case Pick::copy: {
        const auto count = b.fileCount();
        for (int attempt = 0; attempt < 8; ++attempt) {
            const int origin = r.between(0, count - 1);
            if (copyable(b.file(origin))) {
                b.copy(origin);
                return;
            }
        }
        b.photo();
        break;
    }
    }
}

} // namespace

LibraryPlan LibraryPlan::make(quint64 seed, int listed)
{
    if (listed < kMinimumListed)
        return {};
    PlanBuilder builder(seed);
    addFixedFiles(builder);
    while (builder.listedCount() < listed) {
        const Pick what = pick(builder.random());
        if (what == Pick::lookAlikes && listed - builder.listedCount() < 4)
            continue;
        const int before = builder.fileCount();
        addOne(builder, what);
        if (builder.random().chance(0.03) && copyable(builder.file(before)))
            builder.tag(before, builder.random().pick(kTagSets));
    }
    return builder.take();
}

int LibraryPlan::listedCount() const
{
    int count = 0;
    for (const PlannedFile &file : files)
        count += file.listed ? 1 : 0;
    return count;
}
