#ifndef DRUMVELT_EXPORT_H
#define DRUMVELT_EXPORT_H

#include <QtGlobal>

// DRUMVELT_LIBRARY is defined only while the library itself is compiled.
#if defined(DRUMVELT_LIBRARY)
#  define DRUMVELT_EXPORT Q_DECL_EXPORT
#else
#  define DRUMVELT_EXPORT Q_DECL_IMPORT
#endif

#endif
