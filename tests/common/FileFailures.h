#ifndef HW_FILEFAILURES_H
#define HW_FILEFAILURES_H

// Ways to make writing a file fail that hold for every user, root included
// (permissions do not stop root, so a read-only folder is checked first).

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <csignal>
#include <sys/resource.h>

namespace hwtest {

// While it lives, files this process writes cannot grow beyond the given
// size (as "ulimit -f"): writes past it fail as on a full disk. Writes to
// pipes and terminals are not affected.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        // Without this, the first write past the limit ends the process.
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old;
};

// Makes folder read-only; false when files can still be made in it (as
// root), in which case it is left writable again.
inline bool makeReadOnly(const QString& folder)
{
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    QFile probe(QDir(folder).filePath("probe"));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return false;
    }
    return true;
}

// Puts the obstacle a test row names in the way of writing file inside
// folder: "folder is a file" leaves a plain file where the folder should be;
// any other name makes the folder, and then "name taken by a folder" puts a
// folder at file and "disk full" leaves old in file, to be found whole after
// a write under a FileSizeLimit. A read-only folder is made by the caller
// (makeReadOnly), which skips where it does not hold. False when the
// obstacle could not be made.
inline bool placeObstacle(const QString& obstacle, const QString& folder, const QString& file,
                          const QByteArray& old)
{
    if (obstacle == "folder is a file")
        return QFile(folder).open(QIODevice::WriteOnly);
    if (!QDir().mkpath(folder))
        return false;
    if (obstacle == "name taken by a folder")
        return QDir().mkpath(file);
    if (obstacle == "disk full") {
        QFile f(file);
        return f.open(QIODevice::WriteOnly) && f.write(old) == old.size();
    }
    return true;
}

} // namespace hwtest

#endif // HW_FILEFAILURES_H
