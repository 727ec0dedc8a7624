#ifndef VORNET_LOGGER_EXPORT_H
#define VORNET_LOGGER_EXPORT_H

#if defined(_WIN32)
#if defined(VORNET_LOGGER_BUILD)
#define VORNET_LOGGER_API __declspec(dllexport)
#else
#define VORNET_LOGGER_API __declspec(dllimport)
#endif
#else
#define VORNET_LOGGER_API __attribute__((visibility("default")))
#endif

#endif
