#ifndef VORNET_BROCADE_EXPORT_H
#define VORNET_BROCADE_EXPORT_H

// The one export macro of the module: only the facade class carries it.
#if defined(_WIN32)
#if defined(BROCADE_BUILD_DLL)
#define BROCADE_API __declspec(dllexport)
#else
#define BROCADE_API __declspec(dllimport)
#endif
#else
#define BROCADE_API __attribute__((visibility("default")))
#endif

#endif
