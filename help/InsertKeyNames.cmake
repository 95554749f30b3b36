# cmake -DPAGE=index.html -DINSERT=KeyNames.html -DOUTPUT=out.html -P InsertKeyNames.cmake
# Writes the page with the reference of key names in place of its one marker line.
set(marker "<!-- KeyNames.html -->")
file(READ "${PAGE}" page)
file(READ "${INSERT}" insert)
string(FIND "${page}" "${marker}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${PAGE} has no ${marker}")
endif()
string(REPLACE "${marker}" "${insert}" page "${page}")
file(WRITE "${OUTPUT}" "${page}")
