#ifndef VORNET_CIMOM_EXPORT_H
#define VORNET_CIMOM_EXPORT_H

#if defined(_WIN32)
#if defined(VORNET_CIMOM_BUILD)
#define VORNET_CIMOM_API __declspec(dllexport)
#else
#define VORNET_CIMOM_API __declspec(dllimport)
#endif
#else
#define VORNET_CIMOM_API __attribute__((visibility("default")))
#endif

#endif
