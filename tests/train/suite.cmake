# The trainer's tests link its library (features, model, data files).
target_link_libraries(test_train PRIVATE qb_train)
