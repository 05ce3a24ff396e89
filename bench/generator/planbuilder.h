#pragma once

#include "generator/libraryplan.h"
#include "generator/seededrandom.h"

#include <QDateTime>
#include <QSet>

// Adds files of one sort at a time to a plan, choosing realistic folders, names, dates and
// attributes. Every choice is drawn from one seeded stream, so the order of calls decides the
// plan completely.
class PlanBuilder
{
public:
    enum class Place { usual, downloads };
    enum class Age { any, recent, old };
    // How a download was recorded: a random site or none, or a site of a fixed host.
    enum class Site {
        random,
        none,
        gmail,
        slack,
        drive,
        chatgpt,
        canva,
        github,
        rawGithub,
        discord,
        whatsapp,
        twimg,
        pinterest,
        arxiv,
        example,
        vendor,
    };

    explicit PlanBuilder(quint64 seed);

    SeededRandom &random() { return m_random; }
    int listedCount() const { return m_listed; }
    int fileCount() const { return static_cast<int>(m_plan.files.size()); }
    const PlannedFile &file(int index) const { return m_plan.files.at(index); }
    LibraryPlan take() { return std::move(m_plan); }

    // Each returns the index of the (first) file added. A camera index of -1 picks one; an
    // orientation of 0 picks one that suits the camera.
    int photo(int camera = -1, int orientation = 0);
    // A photo and `variants` look-alikes of it (resized, recompressed, brightened).
    int lookAlikeSet(int variants);
    int screenshot(bool gnomeStyle);
    int image(Content format, Place place, Site site = Site::random);
    int document(Content format, Place place, Site site = Site::random);
    int music(Content format);
    int voiceMemo();
    int video(Content format);
    int archive(Content format, Place place, Site site = Site::random);
    int installer(Content format, Age age, Site site = Site::random);
    int data();
    int bundle();
    // The same bytes under another name or folder.
    int copy(int origin);
    int hidden(const QByteArray &path, Content content, const QByteArray &text = {});
    int odd(const QByteArray &path, Content content);
    void link(const QByteArray &path, const QByteArray &target);
    void tag(int index, const QByteArray &tags) { m_plan.files[index].tags = tags; }

    static constexpr int kCameraCount = 9;

private:
    PlannedFile &add(const QByteArray &folder, const QString &name, Content content, Timestamp modified);
    QByteArray uniquePath(const QByteArray &folder, const QString &name);
    void markDownload(PlannedFile &file, Site site);
    Site siteFor(Content content);
    Timestamp time(Age age = Age::any);
    static QDateTime utc(Timestamp time);
    QByteArray projectFolder();

    quint64 m_seed;
    SeededRandom m_random;
    LibraryPlan m_plan;
    QSet<QByteArray> m_paths;
    int m_listed = 0;
    int m_imageNumber;
    int m_invoiceNumber;
    // Current album per artist slot: tracks fill an album before the next one starts.
    QString m_artist;
    QString m_album;
    int m_track = 0;
    int m_albumLength = 0;
};
