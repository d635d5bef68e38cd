# Copies the demo project into the projects folder unless it holds a project.
file(MAKE_DIRECTORY ${DEST})
file(GLOB existing LIST_DIRECTORIES false ${DEST}/*)
list(FILTER existing INCLUDE REGEX "\\.[lL][wW][vV]$")
if(NOT existing)
  file(COPY ${SEED} DESTINATION ${DEST})
endif()
