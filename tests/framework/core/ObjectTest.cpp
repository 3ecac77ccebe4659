#include "framework/core/Object.h"

#include <gtest/gtest.h>

namespace {

class TShape : public TPersistent {
    CARNELO_CLASS(TShape, TPersistent)
public:
    int sides = 0;
};

class TSquare : public TShape {
    CARNELO_CLASS(TSquare, TShape)
public:
    TSquare() { sides = 4; }
    // Knows how to copy into any shape.
    void CopyInto(TPersistent& destination) const override
    {
        if (auto* shape = dynamic_cast<TShape*>(&destination))
            shape->sides = sides;
        else
            TShape::CopyInto(destination);
    }
};

class TColourName : public TPersistent {
    CARNELO_CLASS(TColourName, TPersistent)
};

std::string copyError(TPersistent& destination, const TPersistent* source)
{
    try {
        destination.CopyFrom(source);
    } catch (const EConvertError& e) {
        return e.Message();
    }
    return "no error";
}

} // namespace

TEST(Persistent, CopyFromAsksTheSourceToCopyItself)
{
    TSquare square;
    TShape shape;
    shape.CopyFrom(&square);
    EXPECT_EQ(shape.sides, 4);
}

TEST(Persistent, CopyBetweenStrangersNamesSourceThenDestination)
{
    TColourName colour;
    TShape shape;
    EXPECT_EQ(copyError(shape, &colour), "Ne peut affecter TColourName à TShape");
    EXPECT_EQ(copyError(colour, &shape), "Ne peut affecter TShape à TColourName");
    EXPECT_EQ(copyError(shape, nullptr), "Ne peut affecter nil à TShape");
}

TEST(ClassReference, CreatesTheClassChosenAtRunTime)
{
    const TClass& cls = TSquare::StaticClass();
    auto object = cls.Create();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->ClassName(), "TSquare");
    EXPECT_TRUE(object->InheritsFrom(TShape::StaticClass()));
    EXPECT_FALSE(object->InheritsFrom(TColourName::StaticClass()));
    EXPECT_EQ(As<TShape>(*object).sides, 4);
    EXPECT_THROW(As<TColourName>(*object), EInvalidCast);
}
