#ifndef HW_FILEFAILURES_H
#define HW_FILEFAILURES_H

// Ways to make writing a file fail that hold for every user, root included
// (permissions do not stop root, so a read-only folder is checked first).

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

} // namespace hwtest

#endif // HW_FILEFAILURES_H
