# Writes a manual page (man(7) macros) from text laid out like a program's
# --help output. Every page of the project comes from this one script:
#
#   cmake -DNAME=tarvex-let -DVERSION=2024.1 -DOUTPUT=tarvex-let.1
#         [-DPROGRAM=/path/to/tarvex-let] [-DTEXT=page.txt]
#         [-DDATADIR=/usr/share/tarvex] -P ManPage.cmake
#
# PROGRAM: a program whose `--help` output is read first (it must exit 0).
# TEXT: a file in the same layout with the rest of the page (at least "Name:");
# @TARVEX_DATADIR@ in it stands for DATADIR, the installed data folder.
#
# The layout:
#   Heading:             a line at column 0, a capitalised name and a colon,
#   Heading: text        optionally followed by the start of a paragraph;
#   text at column 0     a paragraph (ended by a blank line or a heading);
#   "  TERM  text"       an item (indented by two): TERM, two or more spaces,
#                        its description;
#   "  TERM"             an item whose description follows on lines indented
#                        by three to seven; lines indented by eight or more
#                        before any description continue TERM.
# "Usage" becomes SYNOPSIS; the sections are written in the usual order
# (NAME, SYNOPSIS, DESCRIPTION, OPTIONS, EXIT STATUS, ENVIRONMENT, FILES,
# SEE ALSO), any other heading after them in the order met.
cmake_minimum_required(VERSION 3.25)

foreach(required NAME VERSION OUTPUT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "ManPage.cmake: -D${required}=... is required")
  endif()
endforeach()

set(text "")
if(DEFINED PROGRAM)
  execute_process(COMMAND "${PROGRAM}" --help
                  OUTPUT_VARIABLE help RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "ManPage.cmake: '${PROGRAM} --help' failed (${status}): ${errors}")
  endif()
  string(APPEND text "${help}\n")
endif()
if(DEFINED TEXT)
  file(READ "${TEXT}" page)
  if(NOT DEFINED DATADIR)
    set(DATADIR "/usr/share/tarvex")
  endif()
  string(REPLACE "@TARVEX_DATADIR@" "${DATADIR}" page "${page}")
  string(APPEND text "${page}\n")
endif()

# CMake lists split at ';' and group at brackets: hide both while the text
# is handled as a list of lines.
string(REPLACE ";" "<SEMICOLON>" text "${text}")
string(REPLACE "[" "<OPEN>" text "${text}")
string(REPLACE "]" "<CLOSE>" text "${text}")
string(REPLACE "\r" "" text "${text}")
string(REPLACE "\n" ";" lines "${text}")

# Escapes for roff: backslashes, minus signs, and a leading control character.
function(roff_escape out value)
  string(REPLACE "\\" "\\e" value "${value}")
  string(REPLACE "-" "\\-" value "${value}")
  if(value MATCHES "^[.']")
    set(value "\\&${value}")
  endif()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# Prose: references such as tarvex(1) in bold.
function(roff_prose out value)
  string(REGEX REPLACE "([a-z][-a-z]*)\\(([1-8])\\)" "<BOLD>\\1<ROMAN>(\\2)" value "${value}")
  roff_escape(value "${value}")
  string(REPLACE "<BOLD>" "\\fB" value "${value}")
  string(REPLACE "<ROMAN>" "\\fR" value "${value}")
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# An item's term: options, the program and its command in bold, upper-case
# placeholders in italics, everything else as it is.
function(roff_term out value)
  string(REPLACE " " ";" words "${value}")
  set(result "")
  set(previous "")
  foreach(word IN LISTS words)
    string(REGEX MATCH "^(\\(|<OPEN>)+" lead "${word}")
    string(LENGTH "${lead}" lead_length)
    string(SUBSTRING "${word}" ${lead_length} -1 rest)
    string(REGEX MATCH "(<CLOSE>|[)|,])+$" tail "${rest}")
    string(LENGTH "${rest}" rest_length)
    string(LENGTH "${tail}" tail_length)
    math(EXPR core_length "${rest_length} - ${tail_length}")
    string(SUBSTRING "${rest}" 0 ${core_length} core)
    roff_escape(core_escaped "${core}")
    if(core MATCHES "^--?[a-z]" OR core STREQUAL NAME
       OR (previous STREQUAL NAME AND core MATCHES "^[a-z]+$"))
      set(core_escaped "\\fB${core_escaped}\\fR")
    elseif(core MATCHES "^[A-Z][A-Z0-9_]*(\\.\\.\\.)?$")
      set(core_escaped "\\fI${core_escaped}\\fR")
    endif()
    string(APPEND result " ${lead}${core_escaped}${tail}")
    set(previous "${core}")
  endforeach()
  string(STRIP "${result}" result)
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

set(section "")
set(sections "")
set(paragraph "")
set(term "")
set(description "")
set(in_item FALSE)

macro(flush_paragraph)
  if(NOT paragraph STREQUAL "")
    roff_prose(escaped "${paragraph}")
    string(APPEND body_${section} ".PP\n${escaped}\n")
    set(paragraph "")
  endif()
endmacro()

macro(flush_item)
  if(in_item)
    roff_term(term_roff "${term}")
    roff_prose(description_roff "${description}")
    string(APPEND body_${section} ".TP\n${term_roff}\n")
    if(NOT description STREQUAL "")
      string(APPEND body_${section} "${description_roff}\n")
    endif()
    set(term "")
    set(description "")
    set(in_item FALSE)
  endif()
endmacro()

function(append_to variable words)
  if("${${variable}}" STREQUAL "")
    set(${variable} "${words}" PARENT_SCOPE)
  else()
    set(${variable} "${${variable}} ${words}" PARENT_SCOPE)
  endif()
endfunction()

foreach(line IN LISTS lines)
  string(REGEX REPLACE "[ \t]+$" "" line "${line}")
  string(REGEX MATCH "^ +" indentation "${line}")
  string(LENGTH "${indentation}" indent)
  string(STRIP "${line}" content)
  if(content STREQUAL "")
    flush_item()
    flush_paragraph()
  elseif(indent EQUAL 0 AND line MATCHES "^([A-Z][A-Za-z ]*):( +(.*))?$")
    flush_item()
    flush_paragraph()
    string(TOUPPER "${CMAKE_MATCH_1}" section)
    set(rest "${CMAKE_MATCH_3}")
    if(section STREQUAL "USAGE")
      set(section "SYNOPSIS")
    endif()
    string(REPLACE " " "_" section "${section}")
    if(NOT section IN_LIST sections)
      list(APPEND sections "${section}")
      set(body_${section} "")
    endif()
    set(paragraph "${rest}")
  elseif(section STREQUAL "")
    message(FATAL_ERROR "ManPage.cmake: text before the first heading: '${line}'")
  elseif(indent EQUAL 0)
    flush_item()
    append_to(paragraph "${content}")
  elseif(indent LESS_EQUAL 2)
    flush_item()
    flush_paragraph()
    string(FIND "${content}" "  " gap)
    if(gap EQUAL -1)
      set(term "${content}")
    else()
      string(SUBSTRING "${content}" 0 ${gap} term)
      string(SUBSTRING "${content}" ${gap} -1 description)
      string(STRIP "${description}" description)
    endif()
    set(in_item TRUE)
  elseif(in_item AND description STREQUAL "" AND indent GREATER_EQUAL 8)
    append_to(term "${content}")
  elseif(in_item)
    append_to(description "${content}")
  else()
    append_to(paragraph "${content}")
  endif()
endforeach()
flush_item()
flush_paragraph()

if(NOT "NAME" IN_LIST sections)
  message(FATAL_ERROR "ManPage.cmake: the page has no 'Name:' section")
endif()

string(TOUPPER "${NAME}" title)
roff_escape(title "${title}")
set(page ".\\\" Generated by cmake/ManPage.cmake; do not edit.\n")
string(APPEND page ".TH \"${title}\" \"1\" \"\" \"Tarvex ${VERSION}\" \"User Commands\"\n")
set(order NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS EXIT_STATUS ENVIRONMENT FILES)
foreach(section IN LISTS sections)
  if(NOT section IN_LIST order AND NOT section STREQUAL "SEE_ALSO")
    list(APPEND order "${section}")
  endif()
endforeach()
list(APPEND order SEE_ALSO)
foreach(section IN LISTS order)
  if(section IN_LIST sections)
    string(REPLACE "_" " " heading "${section}")
    string(APPEND page ".SH \"${heading}\"\n${body_${section}}")
  endif()
endforeach()

string(REPLACE "<SEMICOLON>" ";" page "${page}")
string(REPLACE "<OPEN>" "[" page "${page}")
string(REPLACE "<CLOSE>" "]" page "${page}")
# The NAME line is "name \- summary", without the paragraph macro.
string(REPLACE ".SH \"NAME\"\n.PP\n" ".SH \"NAME\"\n" page "${page}")
file(WRITE "${OUTPUT}" "${page}")
