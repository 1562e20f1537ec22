# The endgame tests build their databases with tbgen (once per build tree).
add_dependencies(test_endgame tbgen tbdrv)
