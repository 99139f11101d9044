# cmake -DRUN=<players' run folder> -DTEST_RUN=<suites' run folder> -DDATA=<data/> -P test_run_folder.cmake
# Lays out the suites' run folder anew: the players' one without what a player leaves there, the
# shipped settings over it, and the programs linked rather than copied (they may be built later).
cmake_minimum_required(VERSION 3.20)
set(programs brawl_client brawl_server brawl_bot fxforge)
set(left_by_players current.vml client.log server.log kxp_log.txt)
file(REMOVE_RECURSE ${TEST_RUN})
file(MAKE_DIRECTORY ${TEST_RUN})
file(GLOB entries RELATIVE ${RUN} ${RUN}/* ${RUN}/.*)
foreach(entry ${entries})
  if(NOT entry IN_LIST programs AND NOT entry IN_LIST left_by_players)
    file(COPY ${RUN}/${entry} DESTINATION ${TEST_RUN})
  endif()
endforeach()
file(COPY ${DATA}/ DESTINATION ${TEST_RUN})
foreach(program ${programs})
  file(CREATE_LINK ${RUN}/${program} ${TEST_RUN}/${program} SYMBOLIC)
endforeach()
