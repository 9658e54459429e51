# Finishes the framework's generated LV2 description so that it validates and hosts sort it:
# - dsp.ttl: files the plug-in under lv2:LimiterPlugin (the framework only writes lv2:Plugin),
#   declares it a doap:Project (the domain of the doap maintainer and release it carries) and
#   turns the maker's e-mail into a mailto: address;
# - ui.ttl: lists ui:noUserResize only as the feature it is and opts:interface only as the
#   extension data it is (the framework puts each in both lists);
# - manifest.ttl: defines the "Program" key that the framework's preset state uses.
# Usage: cmake -D TTL=path/to/dsp.ttl -P lv2-add-class.cmake
file (READ "${TTL}" text)
set (patched "${text}")
if (NOT patched MATCHES "lv2:LimiterPlugin")
    string (REGEX REPLACE "\ta lv2:Plugin( ;|,)" "\ta lv2:Plugin, lv2:LimiterPlugin\\1" patched "${patched}")
    if (NOT patched MATCHES "lv2:LimiterPlugin")
        message (FATAL_ERROR "lv2-add-class: no plug-in class found in ${TTL}")
    endif ()
endif ()
if (NOT patched MATCHES "doap:Project")
    string (REPLACE "\ta lv2:Plugin, lv2:LimiterPlugin ;" "\ta lv2:Plugin, lv2:LimiterPlugin ;\n\ta doap:Project ;" patched "${patched}")
endif ()
string (REGEX REPLACE "foaf:mbox <([^:>]+@[^>]+)>" "foaf:mbox <mailto:\\1>" patched "${patched}")
if (NOT patched STREQUAL text)
    file (WRITE "${TTL}" "${patched}")
endif ()

get_filename_component (bundle "${TTL}" DIRECTORY)

if (EXISTS "${bundle}/ui.ttl")
    file (READ "${bundle}/ui.ttl" text)
    set (patched "${text}")
    string (REGEX REPLACE "(lv2:extensionData[^;]*)\t\tui:noUserResize ,\n" "\\1" patched "${patched}")
    string (REGEX REPLACE "(lv2:optionalFeature[^;]*)\t\topts:interface ,\n" "\\1" patched "${patched}")
    if (NOT patched STREQUAL text)
        file (WRITE "${bundle}/ui.ttl" "${patched}")
    endif ()
endif ()

if (EXISTS "${bundle}/manifest.ttl")
    file (READ "${bundle}/manifest.ttl" text)
    string (REGEX MATCH "<[^>]+:Program>" program "${text}")
    string (FIND "${text}" "rdfs:label \"Program\"" defined)
    if (program AND defined EQUAL -1)
        file (APPEND "${bundle}/manifest.ttl"
            "\n${program}\n"
            "\ta <http://www.w3.org/1999/02/22-rdf-syntax-ns#Property> ;\n"
            "\trdfs:label \"Program\" ;\n"
            "\trdfs:comment \"Index of the program a preset selects.\" ;\n"
            "\trdfs:range xsd:int .\n")
    endif ()
endif ()
