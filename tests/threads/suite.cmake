# The parallel-search tests search with the engine's weights.
add_dependencies(test_threads engine_weights)
