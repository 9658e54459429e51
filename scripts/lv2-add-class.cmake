# Finishes a generated LV2 description: files the plug-in under lv2:LimiterPlugin (the
# framework only writes lv2:Plugin) and turns the maker's e-mail into a mailto: address.
# Usage: cmake -D TTL=path/to/dsp.ttl -P lv2-add-class.cmake
file (READ "${TTL}" text)
set (patched "${text}")
if (NOT patched MATCHES "lv2:LimiterPlugin")
    string (REGEX REPLACE "\ta lv2:Plugin( ;|,)" "\ta lv2:Plugin, lv2:LimiterPlugin\\1" patched "${patched}")
    if (NOT patched MATCHES "lv2:LimiterPlugin")
        message (FATAL_ERROR "lv2-add-class: no plug-in class found in ${TTL}")
    endif ()
endif ()
string (REGEX REPLACE "foaf:mbox <([^:>]+@[^>]+)>" "foaf:mbox <mailto:\\1>" patched "${patched}")
if (NOT patched STREQUAL text)
    file (WRITE "${TTL}" "${patched}")
endif ()
