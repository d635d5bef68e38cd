# Copies the demo project into the projects folder unless it holds a project.
file(MAKE_DIRECTORY ${DEST})
file(GLOB existing ${DEST}/*.lwv ${DEST}/*.LWV)
if(NOT existing)
  file(COPY ${SEED} DESTINATION ${DEST})
endif()
